#!/bin/sh
# Takes a picture of the progress dialog while it unpacks, for people to look at:
#   dialog_picture.sh BUILD_TREE TEST_DATA SOURCE_TREE
# The picture is TEST_DATA/ui-dialog.png. Needs the X display the program shows on.
set -eu
tree=$1
data=$2
src=$3
work=$data/ui-scratch/picture
rm -rf "$work" "$data/ui-dialog.png"
mkdir -p "$work"
cp "$data/ui/many.arj" "$work/KXDATA.ARJ"
. "$src/scripts/lib.sh"
winwork=$(winpath "$work")

cd "$tree"
"$src/cmake/wine-run" tests/win/ui/ui_dialog_host.exe "$winwork" 0 "$winwork.report" \
  </dev/null >/dev/null 2>&1 &
host=$!

# Wait until a third of the 600 members are out, so the bar shows real progress.
polls=0
while [ "$(ls "$work" | wc -l)" -lt 200 ]; do
  if ! kill -0 $host 2>/dev/null; then
    echo "the dialog ended before the picture" >&2
    exit 1
  fi
  polls=$((polls + 1))
  if [ $polls -gt 6000 ]; then
    echo "no progress" >&2
    kill $host
    exit 1
  fi
  sleep 0.01
done
# The window's own image can come out black: cut it out of the screen's instead.
geometry=$(xwininfo -name "Unpacking ...." |
  awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
       /Width:/ {w=$2} /Height:/ {h=$2} END {printf "%dx%d+%d+%d", w, h, x, y}')
xwd -silent -root | convert xwd:- -crop "$geometry" +repage "png:$data/ui-dialog.png"

# The payload holds no installer: the run ends with 132, which is not what is looked at here.
wait $host || true
test -s "$data/ui-dialog.png"

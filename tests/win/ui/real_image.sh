#!/bin/sh
# The real program from a real image: start-up copies the payload, the progress dialog runs
# the extraction on its first tick (members out, the spent payload copy deleted, the data
# folder made), the launch of the inner installer, absent from this payload, fails, and the
# program ends with 132 with the work folder left in place. The image is silent, so nothing
# waits for the message box.
#   real_image.sh BUILD_TREE TEST_DATA SOURCE_TREE
set -eu
tree=$1
data=$2
src=$3
scratch=$data/ui-scratch/image
rm -rf "$scratch"
mkdir -p "$scratch"
. "$src/scripts/lib.sh"
wine_run() { "$src/cmake/wine-run" "$@" </dev/null; }

cd "$tree"
# The program's temporary folder, wherever the prefix in use keeps it.
temp=$(wine_run cmd /c echo %TEMP% | tr -d '\r')
temp=$(wine_run winepath -u "$temp" | tr -d '\r')
if [ ! -d "$temp" ]; then
  echo "no temporary folder: '$temp'" >&2
  exit 1
fi
wine_run tools/kxpack.exe build --stub app/kxunpack.exe --silent 1 \
  --payload "$(winpath "$data/ui/small.arj")" --output "$(winpath "$scratch/img.exe")" \
  >/dev/null
# The run is recognised among other work folders by its saved command line.
mark="/PARAM=ui-image-$$"
code=0
wine_run "$(winpath "$scratch/img.exe")" "$mark" >/dev/null 2>&1 || code=$?
if [ "$code" != 132 ]; then
  echo "the run ended with $code, not 132 (the installer could not be started)" >&2
  exit 1
fi

found=""
for dir in "$temp"/KX*.ins; do
  if [ "$(cat "$dir/ARGSAVE.DAT" 2>/dev/null)" = "$mark" ]; then found=$dir; fi
done
if [ -z "$found" ]; then
  echo "no work folder with the saved command line" >&2
  exit 1
fi
listing=$(cd "$found" && ls | tr '\n' ' ')
status=0
for i in 1 2 3; do
  if ! printf 'member %s\n' $i | cmp -s - "$found/M$i.TXT"; then
    echo "M$i.TXT does not hold what was packed" >&2
    status=1
  fi
done
if [ ! -d "$found/VeloDat" ] || [ -n "$(ls -A "$found/VeloDat")" ]; then
  echo "no empty data folder VeloDat" >&2
  status=1
fi
rm -rf "$found"
if [ "$listing" != "ARGSAVE.DAT M1.TXT M2.TXT M3.TXT VeloDat " ]; then
  echo "work folder holds: $listing" >&2
  exit 1
fi
exit $status

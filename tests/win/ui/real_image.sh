#!/bin/sh
# The real program from a real image: start-up copies the payload, the progress dialog unpacks
# it on its first tick and the program ends with 0.
#   real_image.sh BUILD_TREE TEST_DATA SOURCE_TREE
set -eu
tree=$1
data=$2
src=$3
scratch=$data/ui-scratch/image
rm -rf "$scratch"
mkdir -p "$scratch"
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

cd "$tree"
"$src/cmake/wine-run" tools/kxpack.exe build --stub app/kxunpack.exe \
  --payload "$(winpath "$data/ui/small.arj")" --output "$(winpath "$scratch/img.exe")" \
  </dev/null >/dev/null
# The run is recognised among other work folders by its saved command line.
mark="/PARAM=ui-image-$$"
"$src/cmake/wine-run" "$(winpath "$scratch/img.exe")" "$mark" </dev/null >/dev/null 2>&1

found=""
for dir in "$tree"/wineprefix/drive_c/users/*/Temp/KX*.ins; do
  if [ "$(cat "$dir/ARGSAVE.DAT" 2>/dev/null)" = "$mark" ]; then found=$dir; fi
done
if [ -z "$found" ]; then
  echo "no work folder with the saved command line" >&2
  exit 1
fi
listing=$(cd "$found" && ls | tr '\n' ' ')
cmp "$found/KXDATA.ARJ" "$data/ui/small.arj"
rm -rf "$found"
if [ "$listing" != "ARGSAVE.DAT KXDATA.ARJ M1.TXT M2.TXT M3.TXT " ]; then
  echo "work folder holds: $listing" >&2
  exit 1
fi

#!/bin/bash
# Builds the installation sets of the end-to-end tests with kxpack (the tree's kxpack.exe,
# under Wine), shaped like the delivered one. Each set is laid out as a folder tree,
# OUTROOT/<name>/tree/: STAGE.ARJ/ (stage.exe, KXDELTMP.EXE, CORE.ARJ/), BN.ARJ/ (the
# self-protection doubles) and VeloDat.ARJ/; `kxpack build --tree` makes the image
# OUTROOT/<name>/setup.exe from it, and its payload is cut out as OUTROOT/<name>/KXDATA.ARJ.
#   make_sets.sh BUILD_TREE OUTROOT [SET...]   (default: every set the tests use)
set -euo pipefail
tree=$1
root=$2
shift 2
wanted=${*:-normal refusal only_bn hostile cancel no_stage disk_full
  damaged_KXDATA damaged_BN damaged_VELO damaged_STAGE damaged_CORE}
here=$(cd "$(dirname "$0")" && pwd)
doubles=$tree/doubles
kxpack=$tree/tools/kxpack.exe
stub=$tree/app/kxunpack.exe
. "$here/../../scripts/lib.sh"

mkdir -p "$root/logs"
stamp="$root/.built"
inputs=$( (cat "$doubles"/stage.exe "$doubles"/bnstub.dll "$doubles"/bnapi.dll "$kxpack" "$stub" \
  "$tree/tests/hand_archive.exe" "$0"; echo "$wanted") | md5sum | cut -c1-32)
[ -f "$stamp" ] && [ "$(cat "$stamp")" = "$inputs" ] && exit 0

# Deterministic filler files PREFIXnnn.DAT of a few hundred bytes to a few KiB, or of about
# `size` bytes each (half text-like, half binary-like) when a size is given.
filler() {  # dir prefix count [size]
  local i
  for i in $(seq -w 1 "$3"); do
    if [ -n "${4:-}" ]; then
      if [ $((10#$i % 2)) = 0 ]; then
        (seq "$((10#$i * 7))" "$((10#$i * 7 + $4 / 5))" || true) | head -c "$4" > "$1/$2$i.DAT"
      else  # random bytes, repeated once within the window
        head -c "$(($4 / 2))" /dev/zero |
          openssl enc -aes-128-ctr -nosalt -pass "pass:$2$i" 2>/dev/null > "$1/half.tmp"
        cat "$1/half.tmp" "$1/half.tmp" > "$1/$2$i.DAT"
        rm -f "$1/half.tmp"
      fi
    else
      { printf '%s member %s\n' "$2" "$i"; seq 1 $((10#$i % 97 * 7 + 20)); } > "$1/$2$i.DAT"
    fi
  done
}

# Alters the data of the stored member DAMAGED.DAT in an archive file: its CRC check fails (106).
alter_damaged() {  # archive
  python3 - "$1" <<'PY'
import sys
path = sys.argv[1]
data = open(path, "rb").read()
assert data.count(b"damaged member") == 1, "DAMAGED.DAT is not stored as it is"
open(path, "wb").write(data.replace(b"damaged member", b"DAMAGED MEMBER"))
PY
}

# Turns the archive folder DIR of a set's tree into an archive file, stored as it is when the
# image is built; its archive folders first. With "damaged", a damaged member follows the
# folder's files.
pack_folder() {  # dir [damaged]
  local sub files
  for sub in "$1"/*.ARJ; do
    if [ -d "$sub" ]; then pack_folder "$sub"; fi
  done
  files=$(cd "$1" && ls)
  (cd "$1" && arj a -y -e -m0 ../packed.tmp $files >/dev/null)
  if [ -n "${2:-}" ]; then
    printf 'damaged member of %s\n' "$(basename "$1")" > "$1/DAMAGED.DAT"
    (cd "$1" && arj a -y -e -m0 ../packed.tmp DAMAGED.DAT >/dev/null)
  fi
  rm -r "$1"
  mv "$(dirname "$1")/packed.tmp" "$1"
  if [ -n "${2:-}" ]; then alter_damaged "$1"; fi
}

# make_set NAME [options]: --core N --bn N --velo N --stage N --outer N --stage-exit CODE
#   --bn-control TEXT --without BN|VELO|stage.exe --hostile --size BYTES
#   --damage KXDATA|BN|VELO|STAGE|CORE (one member of that archive fails its check)
#   --big BYTES (a member of that many zero bytes, packed small, in KXDATA.ARJ)
make_set() {
  local name=$1; shift
  local core=40 bn=5 velo=10 stage=5 outer=0 exitcode=0 control="" without="" hostile=0 size=""
  local damaged="" big=""
  while [ $# -gt 0 ]; do
    case "$1" in
      --core) core=$2; shift ;;
      --bn) bn=$2; shift ;;
      --velo) velo=$2; shift ;;
      --stage) stage=$2; shift ;;
      --outer) outer=$2; shift ;;
      --stage-exit) exitcode=$2; shift ;;
      --bn-control) control=$2; shift ;;
      --without) without=$2; shift ;;
      --hostile) hostile=1 ;;
      --size) size=$2; shift ;;
      --damage) damaged=$2; shift ;;
      --big) big=$2; shift ;;
    esac
    shift
  done
  local dir="$root/$name" w
  rm -rf "$dir"
  w="$dir/tree"
  mkdir -p "$w"/{STAGE.ARJ/CORE.ARJ,BN.ARJ,VeloDat.ARJ}

  # CORE.ARJ: product files; the self-protection doubles are also members of BN.ARJ.
  filler "$w/STAGE.ARJ/CORE.ARJ" C "$core" $size
  cp "$doubles/bnstub.dll" "$doubles/bnapi.dll" "$w/STAGE.ARJ/CORE.ARJ/"
  if [ "$hostile" = 1 ]; then
    # A hand-made CORE.ARJ in place of the folder: names no archiver would store.
    local src="$dir/hostile"
    mv "$w/STAGE.ARJ/CORE.ARJ" "$src"
    echo "must stay inside" > "$src/evil.txt"
    "$here/../../cmake/wine-run" "$tree/tests/hand_archive.exe" \
      "$(winpath "$w/STAGE.ARJ/CORE.ARJ")" 'C01.DAT='"$(winpath "$src/C01.DAT")" \
      '..\..\ESCAPED.EXE='"$(winpath "$src/evil.txt")" \
      'C:\ESCAPED2.EXE='"$(winpath "$src/evil.txt")" \
      '@..\..\INSIDE.EXE='"$(winpath "$src/evil.txt")" >&2
  fi

  # BN.ARJ: the self-protection loader, its interface library, its control file.
  cp "$doubles/bnstub.dll" "$doubles/bnapi.dll" "$w/BN.ARJ/"
  printf '%s\n' "log=$(winpath "$root/logs/$name.log")" > "$w/BN.ARJ/bn_control.txt"
  [ -n "$control" ] && printf '%b\n' "$control" >> "$w/BN.ARJ/bn_control.txt"
  filler "$w/BN.ARJ" B "$bn"

  # VeloDat.ARJ: data files.
  filler "$w/VeloDat.ARJ" V "$velo" $size

  # STAGE.ARJ: the inner installer, the cleaner and the product archive.
  cp "$doubles/stage.exe" "$w/STAGE.ARJ/stage.exe"
  cp "$doubles/stage.exe" "$w/STAGE.ARJ/KXDELTMP.EXE"
  echo "$exitcode" > "$w/STAGE.ARJ/stage_exit.txt"
  filler "$w/STAGE.ARJ" S "$stage"

  [ "$without" = BN ] && rm -r "$w/BN.ARJ"
  [ "$without" = VELO ] && rm -r "$w/VeloDat.ARJ"
  [ "$without" = stage.exe ] && rm "$w/STAGE.ARJ/stage.exe"
  # Further members of the payload, beside the three the sequence looks for.
  if [ "$outer" -gt 0 ]; then filler "$w" K "$outer"; fi
  if [ -n "$big" ]; then head -c "$big" /dev/zero > "$w/BIG.DAT"; fi
  case "$damaged" in
    CORE) pack_folder "$w/STAGE.ARJ/CORE.ARJ" damaged ;;  # before STAGE.ARJ takes it in
    STAGE) pack_folder "$w/STAGE.ARJ" damaged ;;
    BN) pack_folder "$w/BN.ARJ" damaged ;;
    VELO) pack_folder "$w/VeloDat.ARJ" damaged ;;
    KXDATA) printf 'damaged member of KXDATA.ARJ\n' > "$w/DAMAGED.DAT" ;;
  esac

  "$here/../../cmake/wine-run" "$kxpack" build --stub "$(winpath "$stub")" \
    --tree "$(winpath "$w")" --output "$(winpath "$dir/setup.exe")" >&2
  # The payload, where the stamp says it lies.
  local at
  read -r at len < <(od -An -tu4 -j32 -N8 "$dir/setup.exe")
  tail -c +$((at + 1)) "$dir/setup.exe" | head -c "$len" > "$dir/KXDATA.ARJ"
  if [ "$damaged" = KXDATA ]; then alter_damaged "$dir/KXDATA.ARJ"; fi
}

for set in $wanted; do
  case "$set" in
    normal) make_set normal --stage-exit 3010 ;;
    refusal) make_set refusal --bn-control 'installed=1\nrunning=1' ;;
    only_bn) make_set only_bn --without VELO ;;
    hostile) make_set hostile --hostile ;;
    cancel) make_set cancel --core 700 --bn 150 --velo 250 --stage 350 --outer 300 ;;
    no_stage) make_set no_stage --without stage.exe ;;
    # Unpacks to twice what the 16 MiB volume of the start-up fixtures holds.
    disk_full) make_set disk_full --big 33554432 ;;
    damaged_*) make_set "$set" --damage "${set#damaged_}" ;;
    # About 100 MB, shaped like the delivered set, for the whole-run benchmark.
    large) make_set large --core 2400 --velo 400 --size 36000 ;;
  esac
done
echo "$inputs" > "$stamp"

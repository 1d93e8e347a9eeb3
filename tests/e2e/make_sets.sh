#!/bin/bash
# Builds the installation sets of the end-to-end tests with the arj archiver, shaped like the
# delivered one: KXDATA.ARJ holds STAGE.ARJ and BN.ARJ stored and VELODAT.ARJ packed;
# STAGE.ARJ holds stage.exe, KXDELTMP.EXE and CORE.ARJ; BN.ARJ holds the self-protection
# doubles. Every set is a folder OUTROOT/<name>/ with its KXDATA.ARJ.
#   make_sets.sh DOUBLES_DIR OUTROOT [SET...]   (default: every set the tests use)
set -euo pipefail
doubles=$1
root=$2
shift 2
wanted=${*:-normal refusal only_bn hostile cancel no_stage disk_full
  damaged_KXDATA damaged_BN damaged_VELO damaged_STAGE damaged_CORE}
here=$(cd "$(dirname "$0")" && pwd)
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

mkdir -p "$root/logs"
stamp="$root/.built"
inputs=$( (cat "$doubles"/stage.exe "$doubles"/bnstub.dll "$doubles"/bnapi.dll "$0"; echo "$wanted") |
  md5sum | cut -c1-32)
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

# Appends a stored member to the archive and alters its data: its CRC check fails (106).
damage() {  # dir archive
  printf 'damaged member of %s\n' "$2" > "$1/DAMAGED.DAT"
  (cd "$1" && arj a -y -e -m0 "$2" DAMAGED.DAT >/dev/null)
  python3 - "$1/$2" <<'PY'
import sys
path = sys.argv[1]
data = open(path, "rb").read()
assert data.count(b"damaged member") == 1
open(path, "wb").write(data.replace(b"damaged member", b"DAMAGED MEMBER"))
PY
}

# make_set NAME [options]: --core N --bn N --velo N --stage N --outer N --stage-exit CODE
#   --bn-control TEXT --without BN|VELO|stage.exe --hostile --size BYTES
#   --damage KXDATA|BN|VELO|STAGE|CORE (one member of that archive fails its check)
#   --big BYTES (a member of that many zero bytes, packed small, ends KXDATA.ARJ)
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
  mkdir -p "$dir"/{core,bn,velo,stage,outer}
  w="$dir"

  # CORE.ARJ: product files, mixed methods; its last members are also members of BN.ARJ.
  filler "$w/core" C "$core" $size
  cp "$doubles/bnstub.dll" "$doubles/bnapi.dll" "$w/core/"
  (cd "$w/core" &&
    ls C*.DAT | awk 'NR % 2 == 1' | xargs arj a -y -e -m1 CORE.ARJ >/dev/null &&
    ls C*.DAT | awk 'NR % 2 == 0' | xargs arj a -y -e -m4 CORE.ARJ >/dev/null &&
    arj a -y -e -m0 CORE.ARJ bnstub.dll bnapi.dll >/dev/null)
  if [ "$hostile" = 1 ]; then
    echo "must stay inside" > "$w/core/evil.txt"
    python3 "$here/arj_write.py" "$w/core/CORE.ARJ" \
      'C01.DAT='"$w/core/C01.DAT" '..\..\ESCAPED.EXE='"$w/core/evil.txt" \
      'C:\ESCAPED2.EXE='"$w/core/evil.txt" '@..\..\INSIDE.EXE='"$w/core/evil.txt"
  fi
  [ "$damaged" = CORE ] && damage "$w/core" CORE.ARJ

  # BN.ARJ: the self-protection loader, its interface library, its control file.
  cp "$doubles/bnstub.dll" "$doubles/bnapi.dll" "$w/bn/"
  printf '%s\n' "log=$(winpath "$root/logs/$name.log")" > "$w/bn/bn_control.txt"
  [ -n "$control" ] && printf '%b\n' "$control" >> "$w/bn/bn_control.txt"
  filler "$w/bn" B "$bn"
  (cd "$w/bn" && arj a -y -e -m1 BN.ARJ bnstub.dll bnapi.dll bn_control.txt B*.DAT >/dev/null)
  [ "$damaged" = BN ] && damage "$w/bn" BN.ARJ

  # VELODAT.ARJ: data files.
  filler "$w/velo" V "$velo" $size
  (cd "$w/velo" && arj a -y -e -m1 VELODAT.ARJ V*.DAT >/dev/null)
  [ "$damaged" = VELO ] && damage "$w/velo" VELODAT.ARJ

  # STAGE.ARJ: the inner installer, the cleaner and the product archive.
  cp "$doubles/stage.exe" "$w/stage/stage.exe"
  cp "$doubles/stage.exe" "$w/stage/KXDELTMP.EXE"
  echo "$exitcode" > "$w/stage/stage_exit.txt"
  cp "$w/core/CORE.ARJ" "$w/stage/"
  filler "$w/stage" S "$stage"
  [ "$without" = stage.exe ] && rm "$w/stage/stage.exe"
  (cd "$w/stage" &&
    arj a -y -e -m1 STAGE.ARJ S*.DAT $(ls stage.exe 2>/dev/null) KXDELTMP.EXE stage_exit.txt >/dev/null &&
    arj a -y -e -m0 STAGE.ARJ CORE.ARJ >/dev/null)
  [ "$damaged" = STAGE ] && damage "$w/stage" STAGE.ARJ

  # KXDATA.ARJ: STAGE.ARJ and BN.ARJ stored, VELODAT.ARJ packed.
  cp "$w/stage/STAGE.ARJ" "$w/bn/BN.ARJ" "$w/velo/VELODAT.ARJ" "$w/outer/"
  [ "$without" = BN ] && rm "$w/outer/BN.ARJ"
  [ "$without" = VELO ] && rm "$w/outer/VELODAT.ARJ"
  (cd "$w/outer" &&
    for f in STAGE.ARJ BN.ARJ; do
      if [ -f "$f" ]; then arj a -y -e -m0 KXDATA.ARJ "$f" >/dev/null; fi
    done &&
    if [ -f VELODAT.ARJ ]; then arj a -y -e -m1 KXDATA.ARJ VELODAT.ARJ >/dev/null; fi)
  # Further members of the payload, after the three the sequence looks for.
  if [ "$outer" -gt 0 ]; then
    filler "$w/outer" K "$outer"
    (cd "$w/outer" && arj a -y -e -m1 KXDATA.ARJ K*.DAT >/dev/null)
  fi
  [ "$damaged" = KXDATA ] && damage "$w/outer" KXDATA.ARJ
  if [ -n "$big" ]; then
    head -c "$big" /dev/zero > "$w/outer/BIG.DAT"
    (cd "$w/outer" && arj a -y -e -m1 KXDATA.ARJ BIG.DAT >/dev/null)
  fi
  mv "$w/outer/KXDATA.ARJ" "$dir/KXDATA.ARJ"
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

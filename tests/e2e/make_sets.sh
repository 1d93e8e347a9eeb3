#!/bin/bash
# Builds the installation sets of the end-to-end tests with the arj archiver, shaped like the
# delivered one: KXDATA.ARJ holds STAGE.ARJ and BN.ARJ stored and VELODAT.ARJ packed;
# STAGE.ARJ holds stage.exe, KXDELTMP.EXE and CORE.ARJ; BN.ARJ holds the self-protection
# doubles. Every set is a folder OUTROOT/<name>/ with its KXDATA.ARJ.
#   make_sets.sh DOUBLES_DIR OUTROOT
set -euo pipefail
doubles=$1
root=$2
here=$(cd "$(dirname "$0")" && pwd)
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

mkdir -p "$root/logs"
stamp="$root/.built"
inputs=$(cat "$doubles"/stage.exe "$doubles"/bnstub.dll "$doubles"/bnapi.dll "$0" | md5sum | cut -c1-32)
[ -f "$stamp" ] && [ "$(cat "$stamp")" = "$inputs" ] && exit 0

# Deterministic filler files NAME.EXT of a few hundred bytes to a few KiB.
filler() {  # dir prefix count
  local i
  for i in $(seq -w 1 "$3"); do
    { printf '%s member %s\n' "$2" "$i"; seq 1 $((10#$i % 97 * 7 + 20)); } > "$1/$2$i.DAT"
  done
}

# make_set NAME [options]: --core N --bn N --velo N --stage N --stage-exit CODE
#   --bn-control TEXT --without BN|VELO --hostile
make_set() {
  local name=$1; shift
  local core=40 bn=5 velo=10 stage=5 exitcode=0 control="" without="" hostile=0
  while [ $# -gt 0 ]; do
    case "$1" in
      --core) core=$2; shift ;;
      --bn) bn=$2; shift ;;
      --velo) velo=$2; shift ;;
      --stage) stage=$2; shift ;;
      --stage-exit) exitcode=$2; shift ;;
      --bn-control) control=$2; shift ;;
      --without) without=$2; shift ;;
      --hostile) hostile=1 ;;
    esac
    shift
  done
  local dir="$root/$name" w
  rm -rf "$dir"
  mkdir -p "$dir"/{core,bn,velo,stage,outer}
  w="$dir"

  # CORE.ARJ: product files, mixed methods; its last members are also members of BN.ARJ.
  filler "$w/core" C "$core"
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

  # BN.ARJ: the self-protection loader, its interface library, its control file.
  cp "$doubles/bnstub.dll" "$doubles/bnapi.dll" "$w/bn/"
  printf '%s\n' "log=$(winpath "$root/logs/$name.log")" > "$w/bn/bn_control.txt"
  [ -n "$control" ] && printf '%b\n' "$control" >> "$w/bn/bn_control.txt"
  filler "$w/bn" B "$bn"
  (cd "$w/bn" && arj a -y -e -m1 BN.ARJ bnstub.dll bnapi.dll bn_control.txt B*.DAT >/dev/null)

  # VELODAT.ARJ: data files.
  filler "$w/velo" V "$velo"
  (cd "$w/velo" && arj a -y -e -m1 VELODAT.ARJ V*.DAT >/dev/null)

  # STAGE.ARJ: the inner installer, the cleaner and the product archive.
  cp "$doubles/stage.exe" "$w/stage/stage.exe"
  cp "$doubles/stage.exe" "$w/stage/KXDELTMP.EXE"
  echo "$exitcode" > "$w/stage/stage_exit.txt"
  cp "$w/core/CORE.ARJ" "$w/stage/"
  filler "$w/stage" S "$stage"
  (cd "$w/stage" && arj a -y -e -m1 STAGE.ARJ S*.DAT stage.exe KXDELTMP.EXE stage_exit.txt >/dev/null &&
    arj a -y -e -m0 STAGE.ARJ CORE.ARJ >/dev/null)

  # KXDATA.ARJ: STAGE.ARJ and BN.ARJ stored, VELODAT.ARJ packed.
  cp "$w/stage/STAGE.ARJ" "$w/bn/BN.ARJ" "$w/velo/VELODAT.ARJ" "$w/outer/"
  [ "$without" = BN ] && rm "$w/outer/BN.ARJ"
  [ "$without" = VELO ] && rm "$w/outer/VELODAT.ARJ"
  (cd "$w/outer" &&
    for f in STAGE.ARJ BN.ARJ; do
      if [ -f "$f" ]; then arj a -y -e -m0 KXDATA.ARJ "$f" >/dev/null; fi
    done &&
    if [ -f VELODAT.ARJ ]; then arj a -y -e -m1 KXDATA.ARJ VELODAT.ARJ >/dev/null; fi)
  mv "$w/outer/KXDATA.ARJ" "$dir/KXDATA.ARJ"
}

make_set normal --stage-exit 3010
make_set refusal --bn-control 'installed=1\nrunning=1'
make_set only_bn --without VELO
make_set hostile --hostile
make_set cancel --core 700 --bn 150 --velo 250 --stage 350
echo "$inputs" > "$stamp"

#!/bin/sh
# Makes the archives the ui tests unpack, with the tree's kxpack.exe under Wine, into $2.
#   make_archives.sh BUILD_TREE OUTDIR
set -eu
here=$(cd "$(dirname "$0")" && pwd)
kxpack=$1/tools/kxpack.exe
out=$2
work=$out/src
rm -rf "$work"
mkdir -p "$work"
cd "$work"

make_arj() {  # archive, files... (stored, under their names in the current folder)
  name=$1
  shift
  rm -f "$out/$name"
  "$here/../../../cmake/wine-run" "$kxpack" pack --method 0 --output "$out/$name" "$@" >/dev/null
}

for i in 1 2 3; do printf 'member %s\n' "$i" >"M$i.TXT"; done
make_arj small.arj M1.TXT M2.TXT M3.TXT

# The cleaner beside a member, as the run would find it after an unpack.
printf 'cleaner\n' >KXDELTMP.EXE
make_arj cleaner.arj M1.TXT KXDELTMP.EXE

for i in 1 2 3 4 5; do printf 'five %s\n' "$i" >"V$i.TXT"; done
make_arj five.arj V1.TXT V2.TXT V3.TXT V4.TXT V5.TXT

# Main header and end marker only: an archive without members.
python3 - "$out/small.arj" "$out/empty.arj" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
size = data[2] | data[3] << 8
open(sys.argv[2], "wb").write(data[:4 + size + 4 + 2] + b"\x60\xea\x00\x00")
PY

# The second member's data altered, and the first's: it fails its CRC check.
python3 - "$out/small.arj" "$out" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
for name, member in (("bad.arj", b"member 2\n"), ("bad_first.arj", b"member 1\n")):
    assert data.count(member) == 1
    open(sys.argv[2] + "/" + name, "wb").write(data.replace(member, b"mE" + member[2:]))
PY

# The third member's header altered: its CRC fails, and the members after it are lost.
python3 - "$out/small.arj" "$out/bad_header.arj" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
assert data.count(b"M3.TXT") == 1
open(sys.argv[2], "wb").write(data.replace(b"M3.TXT", b"M3.TXU"))
PY

printf 'long\n' >averyveryverylongname.txt
make_arj longname.arj averyveryverylongname.txt

printf 'this is not an archive at all\n' >"$out/notarj.bin"

# Hundreds of small members: slow enough to see and press Cancel while it runs.
mkdir many
i=0
while [ $i -lt 600 ]; do
  printf 'file %d\n' $i >"many/F$(printf %04d $i).TXT"
  i=$((i + 1))
done
(cd many && make_arj many.arj *.TXT)

cd "$out"
rm -rf "$work"

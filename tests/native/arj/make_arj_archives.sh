#!/bin/sh
# Test fixture: makes archives with the arj archiver (used as a black box) from generated
# input files, for the engine's conformance tests in both build trees.
#   make_arj_archives.sh OUTPUT_DIR
# OUTPUT_DIR/src holds the original files (unique base names), OUTPUT_DIR/*.arj the archives.
set -eu
out=$1
command -v arj >/dev/null || { echo "make_arj_archives: the arj archiver is missing" >&2; exit 1; }
rm -rf "$out"
mkdir -p "$out/src/sub/dir" "$out/src/many"
cd "$out/src"
export LC_ALL=C

# Text: numbered lines with words; big.txt is far larger than the 26624-byte window.
awk 'BEGIN { for (i = 1; i <= 60; i++) printf "line %d of the small text file\n", i }' > small.txt
awk 'BEGIN { split("alpha beta gamma delta epsilon zeta eta theta iota kappa", w, " ");
             s = 1; for (i = 1; i <= 9000; i++) { s = (s * 1103515245 + 12345) % 2147483648;
             printf "%05d %s %s %s\n", i, w[s % 10 + 1], w[int(s / 10) % 10 + 1], w[int(s / 100) % 10 + 1] } }' > big.txt
# Text with bytes above 127 (the host is UNIX, so they are kept).
awk 'BEGIN { for (i = 0; i < 300; i++) printf "caf%c %d\n", 233, i }' > high.txt
# Binary: compressible records with noise, about 300 KB; and incompressible bytes.
awk 'BEGIN { s = 7; for (i = 0; i < 300000; i++) { s = (s * 69069 + 1) % 4294967296;
             if (i % 64 < 40) printf "%c", (i / 64) % 256; else printf "%c", int(s / 16777216) } }' > big.bin
awk 'BEGIN { s = 3; for (i = 0; i < 40000; i++) { s = (s * 69069 + 1) % 4294967296;
             printf "%c", int(s / 16777216) } }' > noise.bin
# Long runs: matches that repeat the previous byte.
awk 'BEGIN { for (i = 0; i < 70000; i++) printf "%c", (i < 35000 ? 65 : 0) }' > runs.bin
: > empty.bin
printf 'nested file\n' > sub/dir/nested.txt
i=0
while [ $i -lt 300 ]; do
  printf 'member %d\n%0*d\n' $i $((i % 50)) 0 > many/M$i.TXT
  i=$((i + 1))
done

a() { arj a -y -i "$@" >/dev/null; }
for m in 0 1 2 3 4; do
  a -m$m ../m$m.arj small.txt empty.bin big.bin big.txt noise.bin runs.bin
done
a -m1 -t1 ../text1.arj small.txt big.txt high.txt
a -m4 -t1 ../text4.arj small.txt big.txt
a -m0 -t1 ../text0.arj small.txt high.txt
a -m1 ../paths.arj sub/dir/nested.txt small.txt
(cd many && arj a -y -i -m1 ../../many.arj '*.TXT' >/dev/null)
# A mixed-case copy for the case-insensitive lookup of upper-cased paths.
mkdir -p ../MiXed/CaSe
cp ../m1.arj ../MiXed/CaSe/ArChIvE.ArJ

#!/bin/bash
# Builds a signed installation image for the start-up tests: the program as stub, a payload
# packed by kxpack, the stamp, then a code-signing certificate table appended by osslsigncode
# (as a release is signed after it is built), with a throwaway certificate.
#   make_signed_image.sh STUB KXPACK OUTDIR  ->  OUTDIR/content.txt, packed in
#                                                OUTDIR/payload.arj, and OUTDIR/signed.exe
set -euo pipefail
stub=$1
kxpack=$2
out=$3
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
cd "$out"

seq 1 3000 | sed 's/$/ payload line/' > content.txt
rm -f payload.arj
"$here/../../../cmake/wine-run" "$kxpack" pack --output payload.arj content.txt >/dev/null
stub_len=$(stat -c %s "$stub")
payload_len=$(stat -c %s payload.arj)

le32() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))\\x$(printf %02x $((($1 >> 16) & 255)))\\x$(printf %02x $((($1 >> 24) & 255)))"; }

cp "$stub" unsigned.exe
chmod u+w unsigned.exe
{ le32 "$stub_len"; le32 "$payload_len"; printf '\x00'; le32 0; } |
  dd of=unsigned.exe bs=1 seek=32 conv=notrunc status=none
cat payload.arj >> unsigned.exe

openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=kxunpack-test -days 2 \
  -keyout key.pem -out cert.pem >/dev/null 2>&1
rm -f signed.exe
osslsigncode sign -certs cert.pem -key key.pem -in unsigned.exe -out signed.exe >/dev/null

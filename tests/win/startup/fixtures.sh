#!/bin/sh
# Fixtures of the start-up tests, made on the Unix side where it is fast.
#   fixtures.sh setup DATA   a temporary folder whose 10,000 work folder names are all taken,
#                            and (where mounting is allowed) a tiny volume that fills up
#   fixtures.sh cleanup DATA
set -u
data=$2
case "$1" in
  setup)
    taken="$data/allnames/temp"
    if [ ! -d "$taken/KX9999.ins" ]; then
      mkdir -p "$taken"
      (cd "$taken" && seq -w 0 9999 | sed 's/.*/KX&.ins/' | xargs mkdir -p)
    fi
    mkdir -p "$data/diskfull"
    if ! mountpoint -q "$data/diskfull"; then
      mount -t tmpfs -o size=64k kxdiskfull "$data/diskfull" 2>/dev/null ||
        echo "fixtures: cannot mount a small volume; the disk-full test will be skipped"
    fi ;;
  cleanup)
    mountpoint -q "$data/diskfull" && umount "$data/diskfull"
    true ;;
esac

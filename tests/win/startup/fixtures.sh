#!/bin/sh
# Fixtures of the start-up tests, made on the Unix side where it is fast.
#   fixtures.sh setup DATA   a temporary folder whose 10,000 work folder names are all taken,
#                            and (where mounting is allowed) two small volumes that fill up:
#                            diskfull (64 KiB) for a payload copy, diskfull_run (16 MiB)
#                            for a whole run whose unpacked members do not fit
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
    for volume in diskfull:64k diskfull_run:16m; do
      dir=$data/${volume%%:*}
      mkdir -p "$dir"
      if ! mountpoint -q "$dir"; then
        mount -t tmpfs -o "size=${volume#*:}" kxdiskfull "$dir" 2>/dev/null ||
          echo "fixtures: cannot mount a small volume at $dir; its disk-full test will be skipped"
      fi
    done ;;
  cleanup)
    for dir in "$data/diskfull" "$data/diskfull_run"; do
      mountpoint -q "$dir" && umount "$dir"
    done
    true ;;
esac

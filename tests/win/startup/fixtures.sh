#!/bin/sh
# Fixtures of the start-up tests, made on the Unix side where it is fast.
#   fixtures.sh setup DATA   a temporary folder whose 10,000 work folder names are all taken,
#                            and (where mounting is allowed) small volumes: diskfull (64 KiB)
#                            for a payload copy, diskfull_run (16 MiB) for a whole run whose
#                            unpacked members do not fit, and a 201 MiB one on a drive letter
#                            of its own for the free-space check of the temporary volume
#   fixtures.sh cleanup DATA
set -u
data=$2
here=$(dirname "$0")
# The free-space volume: DATA/freespace.txt says "drive=X:" and "mount=DIR", or "skip=REASON".
record=$data/freespace.txt
freespace_size=201m

# Removes the free-space volume and its drive letter, as the record names them.
remove_freespace() {
  [ -f "$record" ] || return 0
  drive=$(sed -n 's/^drive=//p' "$record")
  mnt=$(sed -n 's/^mount=//p' "$record")
  if [ -n "$drive" ]; then
    link=$("$here/../../../cmake/wine-run" --prefix)/dosdevices/$(echo "$drive" | tr A-Z a-z)
    [ "$(readlink "$link")" = "$mnt" ] && rm -f "$link"
  fi
  if [ -n "$mnt" ]; then
    mountpoint -q "$mnt" && umount "$mnt"
    rmdir "$mnt" 2>/dev/null
  fi
  rm -f "$record"
}

# A fresh tmpfs under a name of its own, mapped to the first drive letter nobody has taken
# (the link is made only where none exists, so parallel runs never share one).
make_freespace() {
  mnt=$(mktemp -d "$data/freespace.XXXXXX") || { echo "skip=no folder for the volume"; return; }
  if ! error=$(mount -t tmpfs -o "size=$freespace_size" kxfreespace "$mnt" 2>&1); then
    rmdir "$mnt"
    echo "skip=cannot mount a tmpfs volume (needs root or CAP_SYS_ADMIN): $error"
    return
  fi
  echo "mount=$mnt"
  devices=$("$here/../../../cmake/wine-run" --prefix)/dosdevices
  [ -d "$devices" ] || { echo "skip=no Wine prefix at ${devices%/*}"; return; }
  for letter in t u v w x y s r q p o n m; do
    if ln -sT "$mnt" "$devices/$letter:" 2>/dev/null; then
      echo "drive=$(echo "$letter" | tr a-z A-Z):"
      return
    fi
  done
  echo "skip=every drive letter from M: to Y: is taken"
}

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
    done
    remove_freespace
    make_freespace >"$record.new" && mv "$record.new" "$record"
    sed -n 's/^skip=/fixtures: free-space test will be skipped: /p' "$record" ;;
  cleanup)
    for dir in "$data/diskfull" "$data/diskfull_run"; do
      mountpoint -q "$dir" && umount "$dir"
    done
    remove_freespace
    true ;;
esac

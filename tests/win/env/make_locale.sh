#!/bin/sh
# Builds a Japanese locale for the environment tests, so that Wine runs them in a double-byte
# ANSI code page (932) where a trail byte can have the code of a backslash or of a letter.
set -eu
dir="$KX_TEST_DATA/locale"
[ -d "$dir/ja_JP.UTF-8" ] && exit 0
mkdir -p "$dir"
# Built aside and moved in whole, so an interrupted run never leaves half a locale behind.
rm -rf "$dir/.building"
localedef -i ja_JP -f UTF-8 "$dir/.building"
mv "$dir/.building" "$dir/ja_JP.UTF-8"

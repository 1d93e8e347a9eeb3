#!/bin/sh
# Builds the link fixtures of the folder-tree tests from the Unix side, where links can be
# made under Wine: a tree with a directory link to an outside folder, and a link to a tree.
set -eu
area="$KX_TEST_DATA/env_links"
rm -rf "$area"
mkdir -p "$area/tree/sub" "$area/outside/keep2" "$area/outside2/empty"
echo keep > "$area/outside/keep1.txt"
echo keep > "$area/outside/keep2/keep3.txt"
echo keep > "$area/outside2/keep4.txt"
echo gone > "$area/tree/a.txt"
echo gone > "$area/tree/sub/b.txt"
ln -s "$area/outside" "$area/tree/sub/dirlink"
ln -s "$area/outside2" "$area/toplink"

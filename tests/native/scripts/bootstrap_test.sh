#!/usr/bin/env bash
# The bootstrap against stand-ins for apt-get, dpkg and dpkg-query: which packages each sort of
# machine gets, and what happens when a package index or an install fails.
#   bootstrap_test.sh SOURCE_DIR
set -u
top=$1
. "$top/scripts/lib.sh"
. "$top/scripts/packages.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/kx-bootstrap-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
fake=$work/bin
mkdir -p "$fake"
passed=0
failed=0
check() {  # check NAME CONDITION...
  local name=$1
  shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $name" >&2; fi
}

# apt-get stand-in: logs every call; FAKE_UPDATE_FAILS makes the index download fail as a
# mirror in sync does; FAKE_RESOLVES_WITH=SUITE makes installs resolve only when pinned to SUITE
# (empty: never), FAKE_UNGETTABLE names the one package that no suite has.
cat >"$fake/apt-get" <<'STUB'
#!/bin/sh
echo "apt-get $*" >>"$FAKE_LOG"
case "$1" in
  update)
    if [ -n "${FAKE_UPDATE_FAILS:-}" ]; then
      echo "E: Failed to fetch http://mirror/dists/x/main/binary-i386/Packages.xz  File has unexpected size (1 != 2). Mirror sync in progress?"
      echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
      exit 100
    fi ;;
  install)
    case " $* " in *" ${FAKE_UNGETTABLE:-none} "*)
      echo "E: Package '$FAKE_UNGETTABLE' has no installation candidate"; exit 100 ;;
    esac
    case " $* " in *" -s "*) exit 0 ;; esac
    if [ "${FAKE_RESOLVES_WITH-any}" = any ]; then exit 0; fi
    case " $* " in *" -t ${FAKE_RESOLVES_WITH:-never-pinned} "*) exit 0 ;; esac
    echo "E: Unable to correct problems, you have held broken packages."
    exit 100 ;;
esac
exit 0
STUB
# dpkg stand-ins: nothing is installed; foreign architectures from FAKE_ARCHS.
cat >"$fake/dpkg-query" <<'STUB'
#!/bin/sh
exit 1
STUB
cat >"$fake/dpkg" <<'STUB'
#!/bin/sh
echo "dpkg $*" >>"$FAKE_LOG"
[ "$1" = --print-foreign-architectures ] && printf '%s\n' ${FAKE_ARCHS:-}
exit 0
STUB
cat >"$fake/sudo" <<'STUB'
#!/bin/sh
exec "$@"
STUB
# The tools the bootstrap checks for at the end.
for tool in i686-w64-mingw32-g++-posix i686-w64-mingw32-gcc-posix x86_64-w64-mingw32-g++-posix \
  x86_64-w64-mingw32-gcc-posix wineserver wine wine64 arj 7zz xvfb-run osslsigncode; do
  printf '#!/bin/sh\nexit 0\n' >"$fake/$tool"
done
chmod +x "$fake"/*
printf 'ID=debian\nVERSION_CODENAME=testsuite\n' >"$work/os-release"
export PATH="$fake:$PATH" FAKE_LOG="$work/log" KX_OS_RELEASE="$work/os-release"
export KX_WINE64="$fake/wine64"

# --- The plan for each answer of the probe --------------------------------------------------
with32=$(kx_bootstrap_packages yes | tr '\n' ' ')
without32=$(kx_bootstrap_packages no | tr '\n' ' ')
check "a 32-bit machine gets 32-bit Wine" grep -q 'wine32:i386' <<<"$with32"
check "a 64-bit-only machine gets no i386 package" bash -c '! grep -q ":i386" <<<"$1"' _ "$without32"
for p in wine64 g++-mingw-w64-x86-64 g++-mingw-w64-i686; do
  check "both sorts get $p" bash -c 'grep -qw -- "$1" <<<"$2" && grep -qw -- "$1" <<<"$3"' _ "$p" \
    "$with32" "$without32"
done
check "forced answer 1" env KX_CAN_RUN_I386=1 sh -c '. "$1/scripts/lib.sh"; kx_can_run_i386' _ "$top"
check "forced answer 0" env KX_CAN_RUN_I386=0 sh -c '. "$1/scripts/lib.sh"; ! kx_can_run_i386' _ "$top"
# The probe itself: whatever this machine answers, the build chosen follows it.
if (unset KX_CAN_RUN_I386; kx_can_run_i386); then expected=win32; else expected=win64; fi
chosen=$(unset KX_CAN_RUN_I386 KX_WINDOWS_BUILD; kx_choose_windows_build && echo "$KX_WINDOWS_BUILD")
check "the probe's answer chooses the build" test "$chosen" = "$expected"
chosen=$(KX_CAN_RUN_I386=0 KX_WINDOWS_BUILD='' kx_choose_windows_build && echo "$KX_WINDOWS_BUILD")
check "no 32-bit code: win64" test "$chosen" = win64
chosen=$(KX_CAN_RUN_I386=0 KX_WINDOWS_BUILD=win32 kx_choose_windows_build && echo "$KX_WINDOWS_BUILD")
check "KX_WINDOWS_BUILD overrides the probe" test "$chosen" = win32
check "a bad KX_WINDOWS_BUILD is refused" bash -c '! (KX_WINDOWS_BUILD=win16 kx_choose_windows_build 2>/dev/null)'

# --- Installs through stand-ins -------------------------------------------------------------
run_install() {  # run_install PACKAGE...: status, and stderr in $work/err
  : >"$FAKE_LOG"
  kx_install_packages "$@" 2>"$work/err"
}

FAKE_UPDATE_FAILS=1 run_install arj
check "a failed index is a warning, not the end" test $? -eq 0
check "the warning is said" grep -q "warning: 'apt-get update'" "$work/err"
check "the failing index is named" grep -q 'Mirror sync in progress' "$work/err"
check "the install ran" grep -q '^apt-get install -y -qq arj$' "$FAKE_LOG"

FAKE_UPDATE_FAILS=1 FAKE_RESOLVES_WITH=testsuite run_install wine wine32:i386
check "an install that fails to resolve is tried pinned" test $? -eq 0
check "pinned to the release's own suite" grep -q -- '-t testsuite wine wine32:i386' "$FAKE_LOG"

FAKE_RESOLVES_WITH='' FAKE_UNGETTABLE=wine32:i386 run_install arj wine32:i386
check "an install that cannot be had fails" test $? -ne 0
check "the failing command is printed" \
  grep -q "gave up: 'apt-get install -y -t testsuite arj wine32:i386' failed" "$work/err"
check "the package it could not get is named" grep -q 'cannot get package wine32:i386' "$work/err"
check "a package that can be had is not blamed" bash -c '! grep -q "cannot get package arj" "$1"' _ \
  "$work/err"

# --- The whole bootstrap on each sort of machine ----------------------------------------------
: >"$FAKE_LOG"
KX_CAN_RUN_I386=0 FAKE_ARCHS='' bash "$top/scripts/bootstrap" >"$work/out" 2>&1
check "64-bit-only bootstrap succeeds" test $? -eq 0
check "64-bit-only adds no i386 architecture" bash -c '! grep -q -- "--add-architecture" "$1"' _ "$FAKE_LOG"
check "64-bit-only installs no i386 package" bash -c '! grep "^apt-get install" "$1" | grep -q ":i386"' _ "$FAKE_LOG"
check "64-bit-only says so" grep -q 'cannot run 32-bit x86 code' "$work/out"

: >"$FAKE_LOG"
KX_CAN_RUN_I386=1 FAKE_ARCHS='' FAKE_UPDATE_FAILS=1 FAKE_RESOLVES_WITH=testsuite \
  bash "$top/scripts/bootstrap" >"$work/out" 2>&1
check "32-bit bootstrap survives a failed index" test $? -eq 0
check "32-bit bootstrap adds the i386 architecture" grep -q -- 'dpkg --add-architecture i386' "$FAKE_LOG"
check "32-bit bootstrap installs 32-bit Wine, pinned" grep -q -- '-t testsuite .*wine32:i386' "$FAKE_LOG"

: >"$FAKE_LOG"
KX_CAN_RUN_I386=1 FAKE_ARCHS=i386 FAKE_RESOLVES_WITH='' FAKE_UNGETTABLE=wine32:i386 \
  bash "$top/scripts/bootstrap" >"$work/out" 2>&1
check "a bootstrap that cannot install fails" test $? -ne 0
check "and names the package" grep -q 'cannot get package wine32:i386' "$work/out"

echo "bootstrap: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

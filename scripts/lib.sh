# Shared pieces of the scripts and the shell tests (POSIX sh): source it, do not run it.

# The screen of the virtual display the Windows programs show on.
kx_screen="-screen 0 1280x1024x24"

# A Unix path as Wine names it on its Z: drive.
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

# Runs a command on a fresh virtual display.
on_virtual_display() { xvfb-run -a -s "$kx_screen" "$@"; }

# Runs the calling script again on a virtual display unless a display is set:
#   need_display "$0" "$@"
need_display() {
  if [ -z "${DISPLAY:-}" ]; then exec xvfb-run -a -s "$kx_screen" "$@"; fi
}

# Configures a preset's tree and builds it (only the targets named, else all of it). The
# build's output is shown only when it fails: build_tree PRESET [TARGET...]
build_tree() {
  _kx_preset=$1
  shift
  _kx_log=$(mktemp "${TMPDIR:-/tmp}/kx-build.XXXXXX")
  if cmake --preset "$_kx_preset" >"$_kx_log" 2>&1 &&
    cmake --build --preset "$_kx_preset" ${1:+--target} "$@" >>"$_kx_log" 2>&1; then
    rm -f "$_kx_log"
    return 0
  fi
  cat "$_kx_log" >&2
  rm -f "$_kx_log"
  echo "build of the $_kx_preset tree failed" >&2
  return 1
}

# Whether this machine runs 32-bit x86 code. Some machines of ours cannot at all (their
# hypervisor has no 32-bit mode): there 32-bit Wine cannot start. The probe is a 96-byte i386
# program, written out byte for byte so that it needs no 32-bit package, that exits with 42.
# KX_CAN_RUN_I386=1|0 gives the answer instead (to try the other path, and to ask only once).
kx_can_run_i386() {
  case "${KX_CAN_RUN_I386:-}" in
    1) return 0 ;;
    0) return 1 ;;
  esac
  _kx_probe=$(mktemp "${TMPDIR:-/tmp}/kx-probe32.XXXXXX") || return 1
  printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000' >"$_kx_probe"
  # ELF header: executable for the 386, entry at 0x08048054, one program header at 52.
  printf '\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000' >>"$_kx_probe"
  printf '\000\000\000\000\000\000\000\000\064\000\040\000\001\000\050\000' >>"$_kx_probe"
  printf '\000\000\000\000' >>"$_kx_probe"
  # One loadable segment: the whole file at 0x08048000, readable and executable.
  printf '\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010' >>"$_kx_probe"
  printf '\140\000\000\000\140\000\000\000\005\000\000\000\000\020\000\000' >>"$_kx_probe"
  # mov eax, 1 (exit); mov ebx, 42; int 0x80
  printf '\270\001\000\000\000\273\052\000\000\000\315\200' >>"$_kx_probe"
  chmod 700 "$_kx_probe"
  # The shell that runs it reports an exec failure or a fault: keep that quiet too.
  ("$_kx_probe") >/dev/null 2>&1
  _kx_rc=$?
  rm -f "$_kx_probe"
  [ "$_kx_rc" -eq 42 ]
}

# Runs the probe once and keeps its answer in KX_CAN_RUN_I386 for this script and its children.
kx_probe_once() {
  if kx_can_run_i386; then KX_CAN_RUN_I386=1; else KX_CAN_RUN_I386=0; fi
  export KX_CAN_RUN_I386
}

# Chooses the Windows build to run here and exports it as KX_WINDOWS_BUILD, with the reason in
# kx_windows_build_why: the product's win32 build under WoW64 where 32-bit code runs, else the
# win64 build under 64-bit Wine alone. KX_WINDOWS_BUILD=win32|win64 overrides the choice.
kx_choose_windows_build() {
  case "${KX_WINDOWS_BUILD:-}" in
    win32 | win64)
      kx_windows_build_why="chosen by KX_WINDOWS_BUILD" ;;
    "")
      if kx_can_run_i386; then
        KX_WINDOWS_BUILD=win32
        kx_windows_build_why="this machine runs 32-bit x86 code: the product under WoW64"
      else
        KX_WINDOWS_BUILD=win64
        kx_windows_build_why="this machine cannot run 32-bit x86 code: the x86-64 build under 64-bit Wine alone"
      fi ;;
    *)
      echo "KX_WINDOWS_BUILD must be win32 or win64, not '$KX_WINDOWS_BUILD'" >&2
      return 2 ;;
  esac
  export KX_WINDOWS_BUILD
}

# Debian's 64-bit Wine loader. Debian's wine script takes the 32-bit loader whenever wine32 is
# installed, so 64-bit runs call this one directly.
kx_wine64=${KX_WINE64:-/usr/lib/wine/wine64}

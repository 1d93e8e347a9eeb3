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

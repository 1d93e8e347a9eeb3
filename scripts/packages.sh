# What the bootstrap installs and how (POSIX sh): source it, do not run it.

# The packages a machine needs: kx_bootstrap_packages yes|no (whether it runs 32-bit x86 code).
# Where 32-bit code cannot run, no i386 package: 32-bit Wine could not start there, and the
# i386 indexes would be one more thing to fail. The x86-64 mingw compilers come on both sorts,
# so that the 64-bit path can be tried anywhere; the i686 ones too, since they build the product.
kx_bootstrap_packages() {
  echo cmake g++ clang libclang-rt-14-dev g++-mingw-w64-i686 g++-mingw-w64-x86-64 \
    wine wine64 xvfb xauth x11-apps x11-utils imagemagick python3 \
    arj 7zip osslsigncode openssl googletest libbenchmark-dev clang-format bc
  if [ "$1" = yes ]; then
    # 32-bit Wine for the product under WoW64, and the native i686 build of the engine and
    # its benchmarks (preset native32).
    echo wine32:i386 g++-multilib libgtest-dev:i386 libbenchmark-dev:i386
  fi
}

# The packages named that are not installed yet, one a line.
kx_missing_packages() {
  for _kx_p; do
    dpkg-query -W -f='${Status}' "$_kx_p" 2>/dev/null | grep -q 'install ok installed' ||
      echo "$_kx_p"
  done
}

# The release's own suite ("bookworm" on Debian 12), from os-release.
kx_release_suite() {
  (. "${KX_OS_RELEASE:-/etc/os-release}" && echo "${VERSION_CODENAME:-}")
}

# apt-get as root (through sudo when we are not), never asking anything.
kx_apt() {
  if [ "$(id -u)" -eq 0 ]; then
    env DEBIAN_FRONTEND=noninteractive apt-get "$@"
  else
    sudo env DEBIAN_FRONTEND=noninteractive apt-get "$@"
  fi
}

# Installs the packages named. A package index that fails to download is a warning: apt goes
# on with the indexes it has. A stale index can leave a suite's packages without their
# twins of the other architecture, so an install that then fails is tried once more pinned to
# the release's own suite. Gives up naming the failing command and the packages it cannot get.
kx_install_packages() {
  _kx_log=$(mktemp "${TMPDIR:-/tmp}/kx-apt.XXXXXX")
  if ! kx_apt update -qq >"$_kx_log" 2>&1; then
    echo "bootstrap: warning: 'apt-get update' could not fetch every package index; going on" \
      "with the indexes there are:" >&2
    grep -E '^(E|W|Err):' "$_kx_log" | sed 's/^/  /' >&2
  fi
  if kx_apt install -y -qq "$@" >"$_kx_log" 2>&1; then
    rm -f "$_kx_log"
    return 0
  fi
  _kx_suite=$(kx_release_suite)
  _kx_failed="apt-get install -y $*"
  if [ -n "$_kx_suite" ]; then
    echo "bootstrap: 'apt-get install' failed; trying once more from the release's own suite" \
      "($_kx_suite)" >&2
    if kx_apt install -y -qq -t "$_kx_suite" "$@" >"$_kx_log" 2>&1; then
      rm -f "$_kx_log"
      return 0
    fi
    _kx_failed="apt-get install -y -t $_kx_suite $*"
  fi
  echo "bootstrap: gave up: '$_kx_failed' failed:" >&2
  grep -E '^(E|W):| : Depends' "$_kx_log" | sed 's/^/  /' >&2
  # Which of them cannot be had: each one alone, simulated.
  for _kx_p; do
    kx_apt install -s -qq ${_kx_suite:+-t "$_kx_suite"} "$_kx_p" >/dev/null 2>&1 ||
      echo "bootstrap: cannot get package $_kx_p" >&2
  done
  rm -f "$_kx_log"
  return 1
}

# Sourced by the build and test scripts: the compiler cache settings and phase timing.

# ccache keys on paths relative to the source tree, so clones in other folders share
# hits; precompiled headers and __DATE__/__TIME__ do not defeat it.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
export CCACHE_SLOPPINESS="${CCACHE_SLOPPINESS:-pch_defines,time_macros,include_file_mtime,include_file_ctime}"
export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"

# phase NAME COMMAND...: runs the command and prints its wall time, also when it fails.
phase() {
  local name="$1" start status=0
  shift
  start=$(date +%s)
  echo "==> phase $name" >&2
  "$@" || status=$?
  echo "==> phase $name: $(($(date +%s) - start)) s$([ "$status" -eq 0 ] || echo " (failed: $status)")" >&2
  return "$status"
}

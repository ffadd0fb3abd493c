# Sourced by the build scripts with $root set to the project's root.
# The compiler cache lives outside the clone (the user's cache folder), so a fresh
# clone reuses what an earlier one compiled; paths inside the clone are hashed
# relative to it, so two clones of the same code share every entry.
export CCACHE_DIR="${CCACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/smt-ccache}"
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
export CCACHE_MAXSIZE="${CCACHE_MAXSIZE:-20G}"
# The widget library of the checked builds uses a precompiled header: ccache caches
# its users only with these sloppinesses (the header's macros and time stamps).
export CCACHE_SLOPPINESS="${CCACHE_SLOPPINESS:-pch_defines,time_macros,include_file_mtime,include_file_ctime}"

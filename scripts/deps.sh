#!/usr/bin/env bash
# deps.sh [i686|x86_64]: prints the prefix of the cross-built Windows dependencies for that
# target (default i686), building them first when the cache for this script's version is
# missing. The cache lives outside the repository:
# $BRIVANE_DEPS_CACHE (default ~/.cache/brivane-deps)/<target>-<key>.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
export DEPS_TARGET=${1:-i686}
cache=${BRIVANE_DEPS_CACHE:-$HOME/.cache/brivane-deps}
key=$("$here/build-deps.sh" --key)
prefix=$cache/$key
mkdir -p "$cache"
# One build at a time per cache: a second caller waits for the first and then finds it done.
exec 9>"$cache/.lock-$DEPS_TARGET"
flock 9
if [ ! -f "$prefix/MANIFEST.txt" ] || [ ! -f "$prefix/bin/curl.exe" ]; then
  echo "deps: building $DEPS_TARGET into $prefix" >&2
  DEPS_PREFIX="$prefix" DEPS_WORK="$cache/work" DEPS_SRC="$cache/src" "$here/build-deps.sh" >&2
  rm -rf "$cache/work/build-$DEPS_TARGET"
fi
echo "$prefix"

#!/usr/bin/env bash
# build-deps.sh - static Windows builds (i686-w64-mingw32 or x86_64-w64-mingw32, posix thread
#   model) of
#   libpng 1.6, libjpeg-turbo (IJG 6b API), curl.exe (Schannel, HTTP/HTTPS only),
#   GoogleTest/GoogleMock, OpenJPEG (libopenjp2), openh264 (H.264 encoder), vo-aacenc (AAC encoder)
# from Debian 12 source packages, into one prefix.  zlib comes from libz-mingw-w64-dev.
#
# Idempotent: each component leaves a stamp keyed by its Debian version and build options;
# a re-run with everything stamped does nothing.  Downloaded sources are kept in $DEPS_SRC
# (point it at a cache folder to skip downloads).
#
# Environment knobs (all optional):
#   DEPS_TARGET=i686               i686 (32-bit) or x86_64 (64-bit): the Windows target
#   DEPS_WORK=/tmp/deps            scratch (sources unpacked + build trees)
#   DEPS_PREFIX=$DEPS_WORK/prefix  install prefix (lib/, include/, bin/curl.exe, share/cmake/toolchain)
#   DEPS_SRC=$DEPS_WORK/src        downloaded Debian source packages (.dsc/.orig/.debian)
#   JOBS=$(nproc)                  parallel build jobs
#   INSTALL_PACKAGES=0             1: add i386 arch + deb-src lines, apt-get install toolchain/wine/nasm
#   SELFTEST=0                     1: build a small GoogleTest program against everything and run it
#                                  under wine (needs python3; uses loopback only)
#   KEEP_BUILD=0                   1: keep build trees after install
# ./build-deps.sh --key   prints a cache key (hash of this script + toolchain package versions)
set -euo pipefail

TARGET=${DEPS_TARGET:-i686}
case $TARGET in
  i686)   HOST=i686-w64-mingw32;   PROCESSOR=x86;   EMULATOR=/usr/lib/wine/wine;   PKGARCH=i686 ;;
  x86_64) HOST=x86_64-w64-mingw32; PROCESSOR=AMD64; EMULATOR=/usr/lib/wine/wine64; PKGARCH=x86-64 ;;
  *) echo "ERROR: DEPS_TARGET must be i686 or x86_64, not $TARGET" >&2; exit 1 ;;
esac
WORK=${DEPS_WORK:-/tmp/brivane-deps-work}
PREFIX=${DEPS_PREFIX:-$WORK/prefix}
SRC=${DEPS_SRC:-$WORK/src}
BUILD=$WORK/build-$TARGET
JOBS=${JOBS:-$(nproc)}
INSTALL_PACKAGES=${INSTALL_PACKAGES:-0}
KEEP_BUILD=${KEEP_BUILD:-0}
SYSROOT=/usr/$HOST
TOOLCHAIN=$PREFIX/share/cmake/toolchain-$HOST.cmake
STAMPS=$PREFIX/.stamps
if command -v ninja >/dev/null; then GEN=Ninja; else GEN="Unix Makefiles"; fi   # ninja: a bit faster configure

# Preferred Debian source versions (bookworm).  If a pinned version can no longer be
# downloaded (security updates replace files), the newest one apt knows about is used.
PIN_libpng1_6=${PIN_libpng1_6:-"1.6.39-2+deb12u5"}
PIN_libjpeg_turbo=${PIN_libjpeg_turbo:-"1:2.1.5-2"}
PIN_curl=${PIN_curl:-"7.88.1-10+deb12u15"}
PIN_openjpeg2=${PIN_openjpeg2:-"2.5.0-2+deb12u3"}
PIN_openh264=${PIN_openh264:-"2.3.1+dfsg-3+deb12u2"}
PIN_vo_aacenc=${PIN_vo_aacenc:-"0.1.3-2"}

log() { printf '\n=== %s\n' "$*" >&2; }
die() { printf 'ERROR: %s\n' "$*" >&2; exit 1; }
T0=$(date +%s)
declare -A TIMES=()

# ---------------------------------------------------------------- apt helpers
apt_get() {  # apt-get that waits while another process holds the apt/dpkg locks
  local i out; out=$(mktemp)
  for i in $(seq 1 60); do
    if DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 "$@" 2>"$out"; then
      cat "$out" >&2; rm -f "$out"; return 0
    fi
    cat "$out" >&2
    grep -qE 'Could not get lock|Unable to lock|is held by process' "$out" || { rm -f "$out"; return 1; }
    echo "  apt lock busy, retrying in 10 s" >&2; sleep 10
  done
  rm -f "$out"; return 1
}

install_packages() {
  log "installing toolchain packages (INSTALL_PACKAGES=1)"
  local need_update=0
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386; need_update=1
  fi
  if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && \
     ! grep -qs '^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/*.list; then
    [ -f /etc/apt/sources.list.d/debian.sources ] || die "no deb-src lines and no debian.sources to copy"
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
      > /etc/apt/sources.list.d/debian-src.sources
    need_update=1
  fi
  if [ "$need_update" = 1 ] || [ -z "$(apt-cache showsrc libpng1.6 2>/dev/null | awk '/^Package:/')" ]; then
    apt_get update -q
  fi
  apt_get install -y -q --no-install-recommends \
    dpkg-dev cmake make nasm python3 \
    gcc-mingw-w64-$PKGARCH-posix g++-mingw-w64-$PKGARCH-posix binutils-mingw-w64-$PKGARCH \
    mingw-w64-$PKGARCH-dev libz-mingw-w64-dev googletest \
    wine wine32:i386 wine64 xvfb xauth
}

# ---------------------------------------------------------------- sources
# dsc_complete DSC: the .dsc and every file it lists are present with the right sha256
dsc_complete() {
  local dsc=$1 dir; dir=$(dirname "$dsc")
  [ -s "$dsc" ] || return 1
  awk '/^Checksums-Sha256:/{f=1;next} /^[^ ]/{f=0} f&&NF==3{print $1"  "$3}' "$dsc" \
    | (cd "$dir" && sha256sum --quiet -c -) >/dev/null 2>&1
}

# fetch_src PKG PINNED -> prints path of the .dsc (downloads into $SRC unless already there)
fetch_src() {
  local pkg=$1 pin=$2 v f
  mkdir -p "$SRC"
  local candidates=("$pin")
  while read -r v; do [ "$v" = "$pin" ] || candidates+=("$v"); done < <(apt-cache showsrc "$pkg" \
      2>/dev/null | awk '/^Version:/{print $2}' | sort -u -r -V)
  for v in "${candidates[@]}"; do
    f=$SRC/${pkg}_${v#*:}.dsc
    if dsc_complete "$f"; then echo "$f"; return 0; fi
    # (a _apt sandbox warning is harmless; APT::Sandbox::User=root silences it)
    if ( cd "$SRC" && apt-get -q -o APT::Sandbox::User=root source --download-only "$pkg=$v" ) >&2 \
       && dsc_complete "$f"; then echo "$f"; return 0; fi
    echo "  ($pkg $v not downloadable, trying the next version)" >&2
  done
  die "could not download any version of $pkg (deb-src lines missing? apt-get update not run?)"
}

# unpack DSC -> prints source dir (patches from debian/patches applied by dpkg-source)
unpack() {
  local dsc=$1 base dir
  base=$(basename "$dsc" .dsc)
  dir=$BUILD/src/$base
  if [ ! -f "$dir/.unpacked" ]; then
    rm -rf "$dir"; mkdir -p "$BUILD/src"
    # --no-check: apt already verified the files against the signed Release/Sources
    # (gpgv here would only warn: no debian-keyring installed)
    dpkg-source --no-check --no-copy -x "$dsc" "$dir" >&2
    touch "$dir/.unpacked"
  fi
  echo "$dir"
}

# ---------------------------------------------------------------- toolchain file
write_toolchain() {
  mkdir -p "$(dirname "$TOOLCHAIN")"
  cat > "$TOOLCHAIN.tmp" <<EOF
# Windows ($TARGET) with Debian's mingw-w64 (posix thread model: std::thread/std::mutex work).
# Finds headers/libs in the mingw sysroot (zlib from libz-mingw-w64-dev) and in the deps
# prefix this file lives in (<prefix>/share/cmake/); override with env MINGW_DEPS_PREFIX.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR $PROCESSOR)
set(BRIVANE_WINDOWS_TARGET $TARGET)
set(CMAKE_C_COMPILER   $HOST-gcc-posix)
set(CMAKE_CXX_COMPILER $HOST-g++-posix)
set(CMAKE_RC_COMPILER  $HOST-windres)
set(CMAKE_AR     /usr/bin/$HOST-ar     CACHE FILEPATH "")
set(CMAKE_RANLIB /usr/bin/$HOST-ranlib CACHE FILEPATH "")
if(DEFINED ENV{MINGW_DEPS_PREFIX})
  set(_deps_prefix "\$ENV{MINGW_DEPS_PREFIX}")
else()
  get_filename_component(_deps_prefix "\${CMAKE_CURRENT_LIST_DIR}/../.." ABSOLUTE)
endif()
set(CMAKE_FIND_ROOT_PATH /usr/$HOST \${_deps_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# FindZLIB would pick libz.dll.a (-> zlib1.dll at run time); prefer the static archive.
set(ZLIB_USE_STATIC_LIBS ON)
# ctest / gtest_discover_tests / try_run run the .exe files through Wine's loader for this
# target (Debian's "wine" script always picks the 32-bit loader when it is installed).
set(CMAKE_CROSSCOMPILING_EMULATOR $EMULATOR)
EOF
  if ! cmp -s "$TOOLCHAIN.tmp" "$TOOLCHAIN"; then mv "$TOOLCHAIN.tmp" "$TOOLCHAIN"; else rm -f "$TOOLCHAIN.tmp"; fi
}

# ---------------------------------------------------------------- generic cmake build
# cmake_build NAME VERSION SRCDIR [cmake args...]
cmake_build() {
  local name=$1 ver=$2 srcdir=$3; shift 3
  local key stamp b t
  key=$(printf '%s\n' "$ver" "$TOOLVER" "$@" | cat - "$TOOLCHAIN" | sha1sum | cut -c1-12)
  stamp=$STAMPS/$name-$key
  if [ -f "$stamp" ]; then echo "  $name $ver: up to date" >&2; return 0; fi
  log "$name $ver"
  t=$(date +%s)
  b=$BUILD/$name
  rm -rf "$b"
  cmake -S "$srcdir" -B "$b" -G "$GEN" -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$PREFIX" "$@" > "$BUILD/$name.configure.log" 2>&1 \
    || { tail -40 "$BUILD/$name.configure.log"; die "$name: configure failed ($BUILD/$name.configure.log)"; }
  cmake --build "$b" -j"$JOBS" > "$BUILD/$name.build.log" 2>&1 \
    || { tail -40 "$BUILD/$name.build.log"; die "$name: build failed ($BUILD/$name.build.log)"; }
  cmake --install "$b" --strip > "$BUILD/$name.install.log" 2>&1 \
    || { tail -20 "$BUILD/$name.install.log"; die "$name: install failed"; }
  [ "$KEEP_BUILD" = 1 ] || rm -rf "$b"
  rm -f "$STAMPS/$name-"*; mkdir -p "$STAMPS"; printf '%s %s\n%s\n' "$name" "$ver" "$*" > "$stamp"
  TIMES[$name]=$(( $(date +%s) - t ))
}

# ---------------------------------------------------------------- make / autotools builds
# stamped NAME VERSION OPTIONS...: true when this component is already built with these options
stamped() {
  local name=$1 key; shift
  key=$(printf '%s\n' "$@" "$TOOLVER" | sha1sum | cut -c1-12)
  STAMP=$STAMPS/$name-$key
  if [ -f "$STAMP" ]; then echo "  $name $1: up to date" >&2; return 0; fi
  return 1
}
stamp_done() {  # stamp_done NAME VERSION START_TIME
  rm -f "$STAMPS/$1-"*; mkdir -p "$STAMPS"; printf '%s %s\n' "$1" "$2" > "$STAMP"
  TIMES[$1]=$(( $(date +%s) - $3 ))
}

# openh264: its own Makefile; static library and headers (include/wels).  Both targets build
# with its assembly (nasm): without it the i686 encoder is about four times slower.
build_openh264() {
  local dir=$1 ver=$2 arch asm t
  case $TARGET in i686) arch=i386; asm=Yes ;; x86_64) arch=x86_64; asm=Yes ;; esac
  command -v nasm >/dev/null || asm=No
  stamped openh264 "$ver" "$arch" "$asm" && return 0
  log "openh264 $ver (ARCH=$arch USE_ASM=$asm)"
  t=$(date +%s)
  local args=(OS=mingw_nt ARCH=$arch USE_ASM=$asm CC=$HOST-gcc-posix CXX=$HOST-g++-posix AR=$HOST-ar
              PREFIX="$PREFIX" BUILDTYPE=Release)
  make -C "$dir" "${args[@]}" clean > "$BUILD/openh264.build.log" 2>&1 || true
  make -C "$dir" -j"$JOBS" "${args[@]}" libopenh264.a >> "$BUILD/openh264.build.log" 2>&1 \
    || { tail -40 "$BUILD/openh264.build.log"; die "openh264: build failed ($BUILD/openh264.build.log)"; }
  make -C "$dir" "${args[@]}" install-static >> "$BUILD/openh264.build.log" 2>&1 \
    || { tail -20 "$BUILD/openh264.build.log"; die "openh264: install failed"; }
  stamp_done openh264 "$ver" "$t"
}

# vo-aacenc: autotools, static only.
build_vo_aacenc() {
  local dir=$1 ver=$2 b t
  stamped vo-aacenc "$ver" static && return 0
  log "vo-aacenc $ver"
  t=$(date +%s)
  b=$BUILD/vo-aacenc
  rm -rf "$b"; mkdir -p "$b"
  (cd "$b" && "$dir/configure" --host=$HOST --prefix="$PREFIX" --enable-static --disable-shared \
      CC=$HOST-gcc-posix CFLAGS="-O2" > "$BUILD/vo-aacenc.configure.log" 2>&1) \
    || { tail -40 "$BUILD/vo-aacenc.configure.log"; die "vo-aacenc: configure failed"; }
  make -C "$b" -j"$JOBS" install > "$BUILD/vo-aacenc.build.log" 2>&1 \
    || { tail -40 "$BUILD/vo-aacenc.build.log"; die "vo-aacenc: build failed ($BUILD/vo-aacenc.build.log)"; }
  [ "$KEEP_BUILD" = 1 ] || rm -rf "$b"
  stamp_done vo-aacenc "$ver" "$t"
}

# ================================================================ main
TOOLVER=$(dpkg-query -W -f='${Package}=${Version} ' gcc-mingw-w64-$PKGARCH-posix g++-mingw-w64-$PKGARCH-posix \
          mingw-w64-$PKGARCH-dev libz-mingw-w64-dev googletest nasm 2>/dev/null || true)
if [ "${1:-}" = "--key" ]; then
  # cache key for CI: this script (pins + options) and the Debian toolchain versions it builds with
  printf '%s-%s\n' "$TARGET" "$(printf '%s\n%s\n' "$(sha1sum < "$0")" "$TOOLVER" | sha1sum | cut -c1-16)"
  exit 0
fi
[ "$INSTALL_PACKAGES" = 1 ] && install_packages || true
for t in $HOST-gcc-posix $HOST-g++-posix cmake dpkg-source; do
  command -v "$t" >/dev/null || die "$t missing (INSTALL_PACKAGES=1 installs it)"
done
[ -f $SYSROOT/lib/libz.a ] || die "libz-mingw-w64-dev missing"
mkdir -p "$WORK" "$PREFIX" "$BUILD"
write_toolchain
ZLIB_ARGS=(-DZLIB_LIBRARY=$SYSROOT/lib/libz.a -DZLIB_INCLUDE_DIR=$SYSROOT/include)

# --- sources (only for components whose stamp is missing would be enough, but downloads are ~1 s)
t=$(date +%s)
PNG_DSC=$(fetch_src libpng1.6 "$PIN_libpng1_6")
JPEG_DSC=$(fetch_src libjpeg-turbo "$PIN_libjpeg_turbo")
CURL_DSC=$(fetch_src curl "$PIN_curl")
OPJ_DSC=$(fetch_src openjpeg2 "$PIN_openjpeg2")
H264_DSC=$(fetch_src openh264 "$PIN_openh264")
AAC_DSC=$(fetch_src vo-aacenc "$PIN_vo_aacenc")
PNG_DIR=$(unpack "$PNG_DSC"); JPEG_DIR=$(unpack "$JPEG_DSC")
CURL_DIR=$(unpack "$CURL_DSC"); OPJ_DIR=$(unpack "$OPJ_DSC")
H264_DIR=$(unpack "$H264_DSC"); AAC_DIR=$(unpack "$AAC_DSC")
TIMES[sources]=$(( $(date +%s) - t ))
ver_of() { basename "$1" .dsc | sed 's/^[^_]*_//'; }

# --- 1. libpng (static, no tools/tests), against the sysroot's static zlib
cmake_build libpng "$(ver_of "$PNG_DSC")" "$PNG_DIR" \
  -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF "${ZLIB_ARGS[@]}"

# --- 2. libjpeg-turbo, libjpeg v6b API (default), SIMD when nasm is present
if command -v nasm >/dev/null; then JPEG_SIMD=(-DWITH_SIMD=ON -DREQUIRE_SIMD=ON)
else echo "  nasm not found: libjpeg-turbo without SIMD" >&2; JPEG_SIMD=(-DWITH_SIMD=OFF); fi
cmake_build libjpeg-turbo "$(ver_of "$JPEG_DSC")" "$JPEG_DIR" \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF "${JPEG_SIMD[@]}"
# the cjpeg/djpeg/... tools are not needed
rm -f "$PREFIX"/bin/{cjpeg,djpeg,jpegtran,rdjpgcom,wrjpgcom}.exe

# --- 3. curl.exe: static, Schannel TLS, HTTP/HTTPS only, no zlib/idn/psl/ssh/ldap
#     CA bundle/path auto-detection must be off: it would bake the Linux build host's paths in.
#     ENABLE_UNICODE: wide command line and file names, so "-F userfile=@<path>" takes any
#     Windows path (accents, emoji), not only what the ANSI code page can spell.
cmake_build curl "$(ver_of "$CURL_DSC")" "$CURL_DIR" \
  -DBUILD_SHARED_LIBS=OFF -DBUILD_CURL_EXE=ON -DBUILD_TESTING=OFF -DENABLE_MANUAL=OFF -DENABLE_UNICODE=ON \
  -DHTTP_ONLY=ON -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_USE_LIBSSH2=OFF \
  -DCURL_USE_LIBPSL=OFF -DUSE_LIBIDN2=OFF -DCURL_ZLIB=OFF -DCURL_DISABLE_LDAP=ON -DCURL_DISABLE_LDAPS=ON \
  -DCURL_CA_BUNDLE=none -DCURL_CA_PATH=none -DCMAKE_EXE_LINKER_FLAGS=-static

# --- 4. GoogleTest + GoogleMock from /usr/src/googletest (Debian package googletest)
GTEST_VER=$(dpkg-query -W -f='${Version}' googletest 2>/dev/null) || die "package googletest missing"
cmake_build googletest "$GTEST_VER" /usr/src/googletest \
  -DBUILD_SHARED_LIBS=OFF -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON

# --- 5. OpenJPEG libopenjp2 (consumers must compile with -DOPJ_STATIC)
cmake_build openjpeg "$(ver_of "$OPJ_DSC")" "$OPJ_DIR" \
  -DBUILD_SHARED_LIBS=OFF -DBUILD_STATIC_LIBS=ON -DBUILD_CODEC=OFF -DBUILD_TESTING=OFF -DBUILD_DOC=OFF

# --- 6. openh264 and vo-aacenc: the recorder's own encoders where the system has none
build_openh264 "$H264_DIR" "$(ver_of "$H264_DSC")"
build_vo_aacenc "$AAC_DIR" "$(ver_of "$AAC_DSC")"

# --- manifest
{
  echo "# built by build-deps.sh; host $HOST; $(date -u +%FT%TZ)"
  echo "zlib (libz-mingw-w64-dev) $(dpkg-query -W -f='${Version}' libz-mingw-w64-dev)"
  head -qn1 "$STAMPS"/*
  echo "compiler $($HOST-gcc-posix --version | head -1)"
  (cd "$PREFIX" && stat -L -c '%s %n' lib/*.a bin/curl.exe)
} > "$PREFIX/MANIFEST.txt"

log "done in $(( $(date +%s) - T0 )) s; per step (s, only steps that ran):"
for k in "${!TIMES[@]}"; do echo "  $k ${TIMES[$k]}"; done >&2
cat "$PREFIX/MANIFEST.txt" >&2
echo "toolchain file: $TOOLCHAIN" >&2

#!/usr/bin/env bash
# Installs every Debian package the build and the tests need (idempotent).
# Both Windows targets' compilers (i686 and x86_64). Adds the i386 architecture (wine32,
# used where the machine runs 32-bit code) and deb-src lines (the dependency script
# builds Debian source packages for mingw).
set -euo pipefail

PACKAGES=(
  # native build and tests
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  libgtest-dev libgmock-dev googletest
  libpng-dev libjpeg-dev libopenjp2-7-dev zlib1g-dev
  libsqlite3-dev libcpp-httplib-dev sqlite3
  # the recorder's own encoders (native build), ffprobe/ffmpeg to check the files it writes
  libopenh264-dev libvo-aacenc-dev ffmpeg
  # windows cross build
  dpkg-dev nasm python3
  gcc-mingw-w64-i686-posix g++-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  libz-mingw-w64-dev
  # running and testing under wine
  wine wine32:i386 wine64 fonts-wine fonts-crosextra-carlito xvfb xauth x11-utils xdotool xclip
  # Mesa lets Wine create a Direct3D 9 device, so the capture-mode fall-back is exercised
  libgl1-mesa-dri:i386 libglx-mesa0:i386 libgl1:i386
  # a private sound server for the audio capture tests
  pulseaudio pulseaudio-utils
  imagemagick pngcheck libjpeg-turbo-progs curl procps
  # the zip tests check archives with an independent reader
  unzip
  # independent references for the GIF, TGA, PCX, WBMP, PNM and JPEG-2000 codecs
  netpbm libopenjp2-tools
  # reference computations for the image operations
  python3-numpy
  # the web service's browser test
  chromium
)

apt_get() {  # waits while another process holds the apt/dpkg locks
  local i
  for i in $(seq 1 30); do
    if DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 "$@"; then return 0; fi
    echo "apt-get $* failed, retrying in 10 s" >&2; sleep 10
  done
  return 1
}

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386; need_update=1
fi
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && \
   ! grep -qs '^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null; then
  sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
    > /etc/apt/sources.list.d/debian-src.sources
  need_update=1
fi
if [ ${#missing[@]} -eq 0 ] && [ $need_update = 0 ]; then
  echo "install-packages: everything present"; exit 0
fi
apt_get update -q
[ ${#missing[@]} -eq 0 ] || apt_get install -y -q --no-install-recommends "${missing[@]}"
echo "install-packages: done"

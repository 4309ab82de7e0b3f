#!/bin/bash
# Builds Qt 6 for Windows (MinGW-w64) once, from Debian's own source packages of the Qt version the
# Linux build uses, and installs it into a cache outside the work tree. Called by scripts/windows.sh;
# does nothing when the cache already holds a finished build.
set -euo pipefail
QT_VERSION=6.4.2
CACHE=${KAPPWERK_CACHE:-/var/cache/kappwerk}
PREFIX=$CACHE/qt6-mingw-$QT_VERSION
SRC=$CACHE/src
TOOLCHAIN=$(cd "$(dirname "$0")/.." && pwd)/cmake/mingw-w64-x86_64.cmake
JOBS=${JOBS:-2}

if [ -f "$PREFIX/.complete" ]; then
    echo "Qt for Windows: reusing $PREFIX"
    exit 0
fi

mkdir -p "$SRC"
cd "$SRC"

# Debian's source packages come from the same mirror as the binary ones.
if ! ls qt6-base_${QT_VERSION}*.orig.tar.xz >/dev/null 2>&1; then
    if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ \
        && ! grep -qs '^deb-src' /etc/apt/sources.list; then
        uris=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources)
        suites=$(awk '/^Suites:/ {$1=""; print; exit}' /etc/apt/sources.list.d/debian.sources)
        cat > /etc/apt/sources.list.d/kappwerk-src.sources <<SRCS
Types: deb-src
URIs: ${uris:-http://deb.debian.org/debian}
Suites:${suites:- bookworm bookworm-updates}
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRCS
        apt-get update -q
    fi
    apt-get source --download-only qt6-base
fi

# Only the modules and features Kappwerk uses: fewer steps on a two-core machine.
QT_FEATURES=(
    -DFEATURE_sql=OFF -DFEATURE_opengl=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF
    -DFEATURE_network=OFF -DFEATURE_xml=OFF -DFEATURE_concurrent=OFF -DFEATURE_vulkan=OFF
    -DFEATURE_direct2d=OFF -DFEATURE_jpeg=OFF
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF
    -DFEATURE_system_freetype=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF
)

build_base() {
    [ -d qtbase-everywhere-src-$QT_VERSION ] || tar xf qt6-base_${QT_VERSION}*.orig.tar.xz
    mkdir -p build-qtbase
    cd build-qtbase
    if [ ! -f build.ninja ]; then
        cmake ../qtbase-everywhere-src-$QT_VERSION -G Ninja \
            -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
            -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
            -DCMAKE_INSTALL_PREFIX="$PREFIX" -DCMAKE_BUILD_TYPE=Release \
            -DBUILD_SHARED_LIBS=ON -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
            "${QT_FEATURES[@]}"
    fi
    nice -n 19 ninja -j"$JOBS"
    nice -n 19 ninja install
    cd ..
}

build_base
touch "$PREFIX/.complete"
echo "Qt for Windows installed in $PREFIX"

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
    if ! grep -rqs -e '^Types:.*deb-src' -e '^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        # The deb lines as they are, turned into deb-src lines: in deb822 form on a machine set up
        # so (Debian 12's images), in one-line form where sources.list holds them (debootstrap).
        if [ -f /etc/apt/sources.list.d/debian.sources ]; then
            sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
                > /etc/apt/sources.list.d/kappwerk-src.sources
        elif grep -qs '^deb ' /etc/apt/sources.list; then
            sed -n 's/^deb /deb-src /p' /etc/apt/sources.list > /etc/apt/sources.list.d/kappwerk-src.list
        else
            cat > /etc/apt/sources.list.d/kappwerk-src.sources <<SRCS
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRCS
        fi
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
    # Debian's source leaves out the Wintab headers the Windows platform plugin includes for
    # tablets; Wine's own (libwine-dev) declare the same interface, given two of Wine's macros.
    local wintab=qtbase-everywhere-src-$QT_VERSION/src/3rdparty/wintab
    if [ ! -f $wintab/wintab.h ]; then
        mkdir -p $wintab
        cp /usr/include/wine/wine/windows/pktdef.h $wintab/
        cp /usr/include/wine/wine/windows/wintab.h $wintab/wine-wintab.h
        cat > $wintab/wintab.h <<'WINTAB'
/* Wine's Wintab declarations, with the macros they take from Wine's own headers. */
#ifndef KAPPWERK_WINTAB_H
#define KAPPWERK_WINTAB_H
#include <windows.h>
#ifndef API
#define API WINAPI
#endif
#ifndef WINELIB_NAME_AW
#ifdef UNICODE
#define WINELIB_NAME_AW(name) name##W
#else
#define WINELIB_NAME_AW(name) name##A
#endif
#endif
#ifndef DECL_WINELIB_TYPE_AW
#define DECL_WINELIB_TYPE_AW(type) typedef WINELIB_NAME_AW(type) type;
#endif
#include "wine-wintab.h"
#endif
WINTAB
    fi
    # Qt 6.4 leaves "dynamicgl" on without OpenGL, and one file of the Windows plugin then asks
    # for OpenGL classes that were not built.
    sed -i 's/^#if QT_CONFIG(dynamicgl)$/#if QT_CONFIG(dynamicgl) \&\& QT_CONFIG(opengl)/' \
        qtbase-everywhere-src-$QT_VERSION/src/plugins/platforms/windows/qwindowswindow.cpp
    # Likewise QtGui builds its DirectWrite font database only with Direct2D, which is left out.
    sed -i 's/^#if QT_CONFIG(directwrite3)$/#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)/' \
        qtbase-everywhere-src-$QT_VERSION/src/plugins/platforms/windows/qwindowsintegration.cpp
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

# QtSvg draws the program's images. Debian's mirror may not serve its sources; the Windows build
# then draws the images beforehand (src/toolkit/CMakeLists.txt) and needs no QtSvg.
build_svg() {
    if ! ls qt6-svg_${QT_VERSION}*.orig.tar.xz >/dev/null 2>&1 \
        && ! apt-get source --download-only qt6-svg; then
        echo "note: no qt6-svg sources on the mirror; Kappwerk for Windows does without QtSvg"
        return 0
    fi
    [ -d qtsvg-everywhere-src-$QT_VERSION ] || tar xf qt6-svg_${QT_VERSION}*.orig.tar.xz
    mkdir -p build-qtsvg
    cd build-qtsvg
    [ -f build.ninja ] || "$PREFIX/bin/qt-cmake" ../qtsvg-everywhere-src-$QT_VERSION -G Ninja \
        -DCMAKE_INSTALL_PREFIX="$PREFIX" -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
    nice -n 19 ninja -j"$JOBS"
    nice -n 19 ninja install
    cd ..
}

build_base
build_svg
touch "$PREFIX/.complete"
echo "Qt for Windows installed in $PREFIX"

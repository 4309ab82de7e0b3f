#!/usr/bin/env bash
# The whole Windows build on this Debian machine (as root): installs MinGW-w64 and Wine, builds
# Qt for Windows once into /var/cache/kappwerk (20 minutes to an hour on two cores; reused afterwards),
# builds kappwerk.exe and the test programs, runs the tests under Wine, and packs
# kappwerk-VERSION-windows-x64.zip, which it unpacks elsewhere and starts under Wine and Xvfb.
#
#   bash scripts/windows.sh          everything, with a screenshot in docs/windows.png
#   bash scripts/windows.sh --ci     no Qt build (fails without the cache), no screenshot
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
ci=false
[ "${1:-}" = "--ci" ] && ci=true

export KAPPWERK_QT_WINDOWS=${KAPPWERK_QT_WINDOWS:-/var/cache/kappwerk/qt6-mingw-6.4.2}
build=$root/build-windows
version=$(sed -n 's/^set(KAPPWERK_VERSION \([^)]*\)).*/\1/p' CMakeLists.txt)
package=kappwerk-$version-windows-x64
step() { printf '\n=== %s\n' "$*"; }

step "Debian packages"
packages=(g++-mingw-w64-x86-64-posix wine wine64 zip unzip xz-utils perl cmake ninja-build librsvg2-bin libwine-dev
          qt6-base-dev qt6-base-dev-tools qt6-translations-l10n xvfb xauth x11-utils imagemagick)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  [ "$(id -u)" -eq 0 ] || { echo "needs root to install: ${missing[*]}"; exit 1; }
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
fi

step "Qt for Windows"
if [ ! -f "$KAPPWERK_QT_WINDOWS/.complete" ]; then
  if $ci; then
    echo "no Qt for Windows in $KAPPWERK_QT_WINDOWS; run scripts/windows.sh"
    exit 1
  fi
  KAPPWERK_CACHE=$(dirname "$KAPPWERK_QT_WINDOWS") bash scripts/windows-qt.sh
fi
echo "using $KAPPWERK_QT_WINDOWS"

step "kappwerk.exe and the test programs"
started=$SECONDS
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/kappwerk-windows.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DKAPPWERK_BUILD_BENCHMARKS=OFF >/dev/null
nice -n 10 cmake --build "$build" -j2
echo "built in $((SECONDS - started)) s"

step "tests under Wine"
started=$SECONDS
work=$(mktemp -d /tmp/kappwerk-windows.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  WINEPREFIX=$work/prefix wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
wineboot -i >/dev/null 2>&1
# Wine hands no QT_* variable of the host to its programs, so the tests' platform and Qt's
# logging to stdout and stderr (instead of the debugger) are set in the prefix's environment.
wine reg add 'HKCU\Environment' /v QT_QPA_PLATFORM /d offscreen /f >/dev/null 2>&1
wine reg add 'HKCU\Environment' /v QT_FORCE_STDERR_LOGGING /d 1 /f >/dev/null 2>&1
wineserver -w
status=0
# One program at a time: they share the prefix's registry and its one user folder.
ctest --test-dir "$build" -j1 --output-on-failure 2>&1 | tee "$work/ctest.log" || status=1
echo "Skipped under Wine:"
grep -o "skipped under Wine: [^\"]*" "$build"/Testing/Temporary/LastTest.log | sort -u | sed 's/^/  /' || true
echo "tests took $((SECONDS - started)) s"

step "$package.zip"
stage=$work/$package
mkdir -p "$stage/platforms" "$stage/styles" "$stage/translations"
cp "$build/kappwerk.exe" "$build/kappwerk.com" "$build/kappwerk-window.dll" "$stage/"
x86_64-w64-mingw32-strip "$stage/kappwerk.exe" "$stage/kappwerk.com" "$stage/kappwerk-window.dll"
for dll in Qt6Core Qt6Gui Qt6Widgets; do
  cp "$KAPPWERK_QT_WINDOWS/bin/$dll.dll" "$stage/"
done
[ -f "$KAPPWERK_QT_WINDOWS/bin/Qt6Svg.dll" ] && cp "$KAPPWERK_QT_WINDOWS/bin/Qt6Svg.dll" "$stage/"
cp /usr/lib/gcc/x86_64-w64-mingw32/12-posix/{libstdc++-6,libgcc_s_seh-1}.dll \
   /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll "$stage/"
cp "$KAPPWERK_QT_WINDOWS/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$KAPPWERK_QT_WINDOWS"/plugins/styles/*.dll "$stage/styles/"
cp /usr/share/qt6/translations/qtbase_de.qm "$stage/translations/"
# Qt finds its translations through the prefix, which is the program's own folder.
printf '[Paths]\r\nPrefix = .\r\n' > "$stage/qt.conf"
sed 's/$/\r/' resources/windows/LIESMICH.txt > "$stage/LIESMICH.txt"
rm -f "$root/$package.zip"
(cd "$work" && zip -qr9 "$root/$package.zip" "$package")
ls -l "$root/$package.zip"

step "the unpacked zip under Wine"
unpacked=$work/unpacked
mkdir -p "$unpacked" && (cd "$unpacked" && unzip -q "$root/$package.zip")
exe=$unpacked/$package/kappwerk.exe
# The command line renames a folder's files and copies another's into MOBIX.
mkdir -p "$work/Karte1" "$work/Karte2"
for f in "Schubert - Ständchen.mp3" "Mozart - Rondo alla turca.mp3"; do
  echo "$f" > "$work/Karte1/$f"
  echo "$f" > "$work/Karte2/$f"
done
# The first through kappwerk.com, as a console starts the command line: it waits for the program
# and hands on its exit status.
( unset WINEPATH; wine "${exe%.exe}.com" --run --cut 8 --rename "$work/Karte1"; echo "status $?" ) | tee "$work/run1.txt" || true
( unset WINEPATH; wine "$exe" --run --cut 6 --mobix "$work/Karte2" ) | tee "$work/run2.txt" || true
zipped_ok=true
grep -qx "status 0" "$work/run1.txt" || { echo "FAIL: kappwerk.com did not end with status 0"; zipped_ok=false; }
expect() { [ -f "$1" ] && grep -qxF "$2" "$1" || { echo "FAIL: $1 does not hold \"$2\""; zipped_ok=false; }; }
expect "$work/Karte1/Schubert.mp3" "Schubert - Ständchen.mp3"
expect "$work/Karte1/Mozart -.mp3" "Mozart - Rondo alla turca.mp3"
expect "$work/Karte2/MOBIX/Schube.mp3" "Schubert - Ständchen.mp3"
expect "$work/Karte2/MOBIX/Mozart.mp3" "Mozart - Rondo alla turca.mp3"
expect "$work/Karte2/Schubert - Ständchen.mp3" "Schubert - Ständchen.mp3"
if $zipped_ok; then echo "kappwerk.exe --run renamed and copied correctly"; else status=1; fi

if ! $ci; then
  # The window, with its German captions, in a screenshot: with the defaults (the tests stored
  # options), and a Wine server started anew on the X display.
  wine reg delete 'HKCU\Software\Kappwerk' /f >/dev/null 2>&1 || true
  wine reg delete 'HKCU\Environment' /v QT_QPA_PLATFORM /f >/dev/null 2>&1 || true
  wineserver -k 2>/dev/null || true
  wineserver -w
  WORK=$work EXE=$exe xvfb-run -a -s "-screen 0 800x600x24" bash -c '
    unset WINEPATH
    wine "$EXE" "$WORK/Karte2" >/dev/null 2>&1 &
    sleep 25
    import -window root "$WORK/screen.png"
    xwininfo -name Kappwerk > "$WORK/geometry.txt" 2>/dev/null || true
    wineserver -k || true' || true
  if [ -f "$work/screen.png" ]; then
    read -r x y w h < <(awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF}
                             /Width:/ {w = $NF} /Height:/ {h = $NF} END {print x, y, w, h}' "$work/geometry.txt")
    convert "$work/screen.png" -crop "${w:-800}x${h:-600}+${x:-0}+${y:-0}" +repage docs/windows.png
    echo "screenshot: docs/windows.png"
  else
    echo "FAIL: no screenshot of the window"
    status=1
  fi
fi

step "summary"
grep -E 'tests passed|tests failed|Total Test time' "$work/ctest.log" || true
echo "package: $root/$package.zip"
exit $status

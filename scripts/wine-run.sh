#!/usr/bin/env bash
# Runs a program of the Windows build under Wine, finding the DLLs of Qt for Windows and of the
# MinGW-w64 runtime where scripts/windows.sh put them. Needs WINEPREFIX (a prefix of its own,
# never the user's ~/.wine); passes the program's exit code on.
set -euo pipefail
: "${WINEPREFIX:?set WINEPREFIX to a throw-away Wine prefix}"
qt=${KAPPWERK_QT_WINDOWS:-/var/cache/kappwerk/qt6-mingw-6.4.2}
winpath() { printf 'Z:%s' "${1//\//\\}"; }
export WINEPATH="$(winpath "$qt/bin");$(winpath /usr/lib/gcc/x86_64-w64-mingw32/12-posix);$(winpath /usr/x86_64-w64-mingw32/lib)"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
exec wine "$@"

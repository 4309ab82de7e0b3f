#!/usr/bin/env bash
# Compiles every source file for Windows as far as the compiler's syntax and type checks go
# (MinGW-w64 against the host's Qt headers; no linking), so that the Windows branches of the
# platform code do not rot. Needs the Debian package g++-mingw-w64-x86-64-posix.
set -euo pipefail
cd "$(dirname "$0")/.."
qt=$(dirname "$(find /usr/include -maxdepth 3 -type d -name QtCore | head -n 1)")
status=0
for file in $(ls src/*/*.cpp | grep -v _posix); do
  if ! x86_64-w64-mingw32-g++-posix -std=c++20 -fsyntax-only -w -Isrc -I"$qt" -I"$qt/QtCore" -I"$qt/QtGui" \
       -I"$qt/QtWidgets" -I"$qt/QtSvg" -DUNICODE -D_UNICODE -DKAPPWERK_VERSION='"0"' "$file"; then
    status=1
  fi
done
[ $status -eq 0 ] && echo "all sources pass the Windows compiler's checks"
exit $status

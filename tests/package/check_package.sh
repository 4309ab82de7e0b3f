#!/usr/bin/env bash
# Builds the Debian package from the build folder with CPack and checks it as a Debian
# maintainer would: lintian reports no error and no warning; the package holds the manual
# page, the bash completion, the copyright file and the changelog; the manual page describes
# every option of --help, and the completion offers each once; the desktop entry claims no MIME
# type, so installing the package never makes Kappwerk the program that opens folders.
# Usage: check_package.sh BUILD_FOLDER KAPPWERK_BINARY. Status 77 (skipped) without lintian.
set -euo pipefail
build=$1
binary=$2
if ! command -v lintian >/dev/null; then
  echo "skipped: lintian is not installed (bash scripts/setup.sh installs it)"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/kappwerk_*.deb)
echo "lintian $(basename "$deb"):"
status=0
lintian --display-info --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 || status=$?
grep -v 'running with root privileges' "$work/lintian.log" || true
[ $status -eq 0 ] || fail "lintian reports errors or warnings"

contents=$(dpkg-deb -c "$deb")
for path in usr/bin/kappwerk usr/share/man/man1/kappwerk.1.gz usr/share/bash-completion/completions/kappwerk \
            usr/share/doc/kappwerk/copyright usr/share/doc/kappwerk/changelog.gz; do
  grep -q " \./$path\$" <<<"$contents" || fail "the package lacks /$path"
done
dpkg-deb -x "$deb" "$work/root"
manual=$(zcat "$work/root/usr/share/man/man1/kappwerk.1.gz" | sed 's/\\-/-/g')
for option in $("$binary" --help | grep -oE '^ +(-[[:alnum:]?], )?--[a-z-]+' | grep -oE -- '--[a-z-]+'); do
  [ "$option" = --help-all ] || grep -q -- "$option" <<<"$manual" || fail "the manual page lacks $option"
done
# The completion offers every option of --help, each once.
if [ -f /usr/share/bash-completion/bash_completion ]; then
  offered=$(bash -c 'source /usr/share/bash-completion/bash_completion; source "$1"; PATH="$2:$PATH"
    COMP_WORDS=(kappwerk --); COMP_CWORD=1; COMP_LINE="kappwerk --"; COMP_POINT=${#COMP_LINE}
    _kappwerk kappwerk -- kappwerk; printf "%s\n" "${COMPREPLY[@]}"' sh \
    "$work/root/usr/share/bash-completion/completions/kappwerk" "$(dirname "$(realpath "$binary")")")
  grep -qx -- --dry-run <<<"$offered" || fail "the completion does not offer --dry-run"
  twice=$(sort <<<"$offered" | uniq -d)
  [ -z "$twice" ] || fail "the completion offers $twice more than once"
fi
! grep -q '^MimeType=' "$work/root/usr/share/applications/de.kappwerk.Kappwerk.desktop" \
  || fail "the desktop entry claims MIME types: a file manager may make Kappwerk their default program"
echo "package checked: no lintian error or warning, manual page, completion, copyright, changelog"

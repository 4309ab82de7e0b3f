#!/usr/bin/env bash
# Drives the real program as a user would, in a real X server (Xvfb): open a folder through the
# folder dialog, tick all, press "Dateinamen ändern" with the default options, close. Then checks
# the copies in MOBIX, the untouched originals and the settings file written at the close.
# Usage: run_e2e.sh /path/to/kappwerk   (starts its own Xvfb through xvfb-run)
set -euo pipefail

program=$(readlink -f "$1")
if [ -z "${KAPPWERK_E2E_INNER:-}" ]; then
  export KAPPWERK_E2E_INNER=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$program"
fi

work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM

music="$work/Musik"
mkdir -p "$music"
printf 'serenade %.0s' {1..5000} > "$music/Schubert - Ständchen.mp3"
printf 'greetings' > "$music/Grüße.MP3"
head -c 300000 /dev/urandom > "$music/a.wav"
printf 'long title' > "$music/Ein sehr langer Titel mit vielen Worten.mp3"
printf 'not a sound' > "$music/notes.txt"
# A name that is not valid UTF-8 (Latin-1 "ä"): listed as "Lied \uFFFD.mp3", copied by its own bytes.
printf 'latin one' > "$music/$(printf 'Lied \xe4.mp3')"
(cd "$music" && sha256sum -- * > "$work/before.sha")

fail() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "-- $*"; }

${KAPPWERK_E2E_WRAP:-} "$program" & pid=$!
win=$(xdotool search --sync --onlyvisible --name '^Kappwerk$' | head -n 1)
[ -n "$win" ] || fail "main window did not appear"
sleep 0.5

# Button centres in window coordinates: frame position plus control position plus half its size.
click() { xdotool mousemove --window "$win" "$1" "$2" click 1; sleep 0.3; }

step "Ordner öffnen"
click 244 308
dialog=$(xdotool search --sync --onlyvisible --name '^Bitte wählen Sie den Ordner' | head -n 1)
[ -n "$dialog" ] || fail "folder dialog did not appear"
sleep 0.5
xdotool mousemove --window "$dialog" 40 40
xdotool windowfocus --sync "$dialog" 2>/dev/null || true
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 15 "$music"
xdotool key Return
for _ in $(seq 50); do
  xdotool search --onlyvisible --name '^Bitte wählen Sie den Ordner' >/dev/null 2>&1 || break
  sleep 0.1
done
xdotool search --onlyvisible --name '^Bitte wählen Sie den Ordner' >/dev/null 2>&1 && fail "folder dialog still open"
sleep 0.5

step "Alle auswählen"
click 28 316
step "Dateinamen ändern"
click 292 308
sleep 1
step "Programm beenden"
click 396 308
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "program did not end after Close"
wait "$pid" || fail "program exited with an error"

step "checking the result"
(cd "$music" && sha256sum -c --quiet "$work/before.sha") || fail "an original changed"
expect_copy() { # original, copy name
  [ -f "$music/MOBIX/$2" ] || fail "missing copy MOBIX/$2"
  cmp -s "$music/$1" "$music/MOBIX/$2" || fail "copy MOBIX/$2 differs from $1"
}
expect_copy "Schubert - Ständchen.mp3" "Schubert - Stndchen.mp3"
expect_copy "Grüße.MP3" "Gre.MP3"
expect_copy "a.wav" "a.wav"
expect_copy "$(printf 'Lied \xe4.mp3')" "Lied .mp3"
expect_copy "Ein sehr langer Titel mit vielen Worten.mp3" "Ein sehr langer Titel mit viel.mp3"
count=$(find "$music/MOBIX" -mindepth 1 | wc -l)
[ "$count" -eq 5 ] || fail "MOBIX holds $count entries, expected 5"

conf="$XDG_CONFIG_HOME/Kappwerk/Kappwerk.conf"
[ -f "$conf" ] || fail "no settings file at $conf"
grep -qx '\[Optionen\]' "$conf" || fail "no group Optionen"
for line in 'Extension.ListIndex=6' 'CutAfterLength.Value=true' 'Rename.Value=false' \
            'MaxFileLength.Text=30' 'Overwrite.Value=0' 'Subdirectory.Value=1' \
            'Subdirectory.Enabled=true' 'Special.Value=1'; do
  grep -qxF "$line" "$conf" || fail "settings file lacks $line"
done
grep -q '^SpecialListe.Text=ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 -_.$' "$conf" \
  || fail "settings file lacks SpecialListe.Text"
grep -q '^NewFilename.Text=%# - Dateiname$' "$conf" || fail "settings file lacks NewFilename.Text"
echo "1 passed, 0 failed"

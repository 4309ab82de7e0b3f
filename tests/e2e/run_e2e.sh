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
latin=$(printf 'Lied \xe4.mp3') # not valid UTF-8: listed as "Lied \uFFFD.mp3", copied by its own bytes
mkdir -p "$music"
printf 'serenade %.0s' {1..5000} > "$music/Schubert - Ständchen.mp3"
printf 'greetings' > "$music/Grüße.MP3"
head -c 300000 /dev/urandom > "$music/a.wav"
printf 'long title' > "$music/Ein sehr langer Titel mit vielen Worten.mp3"
printf 'not a sound' > "$music/notes.txt"
printf 'latin one' > "$music/$latin"
(cd "$music" && sha256sum -- * > "$work/before.sha")

fail() { echo "FAIL: $*" >&2; exit 1; }
# Clicks at a control's centre in window coordinates.
click() { echo "-- $1"; xdotool mousemove --window "$win" "$2" "$3" click 1; sleep 0.3; }
dialog_open() { xdotool search --onlyvisible --name '^Bitte wählen Sie den Ordner' 2>/dev/null | head -n 1; }

${KAPPWERK_E2E_WRAP:-} "$program" & pid=$!
win=$(xdotool search --sync --onlyvisible --name '^Kappwerk$' | head -n 1)
[ -n "$win" ] || fail "main window did not appear"
sleep 0.5

click "Ordner öffnen" 244 308
dialog=$(xdotool search --sync --onlyvisible --name '^Bitte wählen Sie den Ordner' | head -n 1)
[ -n "$dialog" ] || fail "folder dialog did not appear"
sleep 0.5
xdotool mousemove --window "$dialog" 40 40
xdotool windowfocus --sync "$dialog" 2>/dev/null || true
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 15 "$music"
xdotool key Return
for _ in $(seq 50); do [ -n "$(dialog_open)" ] || break; sleep 0.1; done
[ -z "$(dialog_open)" ] || fail "folder dialog still open"
sleep 0.5

click "Alle auswählen" 28 316
click "Dateinamen ändern" 292 308
sleep 1
click "Programm beenden" 396 308
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "program did not end after Close"
wait "$pid" || fail "program exited with an error"

echo "-- checking the result"
(cd "$music" && sha256sum -c --quiet "$work/before.sha") || fail "an original changed"
while IFS='|' read -r original copy; do
  cmp -s "$music/$original" "$music/MOBIX/$copy" || fail "copy MOBIX/$copy missing or differs from $original"
done <<LIST
Schubert - Ständchen.mp3|Schubert - Stndchen.mp3
Grüße.MP3|Gre.MP3
a.wav|a.wav
$latin|Lied .mp3
Ein sehr langer Titel mit vielen Worten.mp3|Ein sehr langer Titel mit viel.mp3
LIST
count=$(find "$music/MOBIX" -mindepth 1 | wc -l)
[ "$count" -eq 5 ] || fail "MOBIX holds $count entries, expected 5"

conf="$XDG_CONFIG_HOME/Kappwerk/Kappwerk.conf"
[ -f "$conf" ] || fail "no settings file at $conf"
for line in '[Optionen]' 'Extension.ListIndex=6' 'CutAfterLength.Value=true' 'Rename.Value=false' \
            'MaxFileLength.Text=30' 'Overwrite.Value=0' 'Subdirectory.Value=1' 'Subdirectory.Enabled=true' \
            'Special.Value=1' 'NewFilename.Text=%# - Dateiname' \
            'SpecialListe.Text=ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 -_.'; do
  grep -qxF "$line" "$conf" || fail "settings file lacks $line"
done
echo "1 passed, 0 failed"

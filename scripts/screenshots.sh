#!/usr/bin/env bash
# Makes the README's screenshots under Xvfb from the current build in build/: docs/mainwindow.png
# (a folder listed, some files ticked) and docs/specialselect.png (the allowed-characters dialog).
# Needs xvfb-run, xdotool and ImageMagick (apt-get install imagemagick).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${KAPPWERK_SHOTS_INNER:-}" ]; then
  export KAPPWERK_SHOTS_INNER=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0"
fi

work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/config"
mkdir -p "$HOME" "$XDG_CONFIG_HOME"
music="$work/Musik"
mkdir -p "$music"
for name in "01 - Schubert - Ständchen (Leise flehen meine Lieder).mp3" "02 - Grüße aus Köln.mp3" \
            "03 - Über den Wolken (Live in Düsseldorf 1975).mp3" "04 - Café del Mar.mp3" \
            "05 - Ça plane pour moi.wav" "06 - Hörspiel Teil 1.mp3" "07 - Hörspiel Teil 2.mp3" \
            "08 - Ännchen von Tharau.mid" "09 - Tanz der Zuckerfee.aac" "10 - Das Wandern ist des Müllers Lust.mp3" \
            "11 - Sprachmemo 2026-11-30.amr"; do
  printf 'x' > "$music/$name"
done

./build/src/app/kappwerk & pid=$!
win=$(xdotool search --sync --onlyvisible --name '^Kappwerk$' | head -n 1)
sleep 0.5
click() { xdotool mousemove --window "$win" "$1" "$2" click 1; sleep 0.3; }
click 244 308
dialog=$(xdotool search --sync --onlyvisible --name '^Bitte wählen Sie den Ordner' | head -n 1)
sleep 0.5
xdotool mousemove --window "$dialog" 40 40
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 10 "$music"
xdotool key Return
sleep 1
# Tick three entries by their check boxes (list at 16,24 in the window, rows about 17 px high).
for row in 0 2 3; do click 27 $((33 + row * 17)); done
xdotool mousemove --window "$win" 300 330
sleep 0.3
eval "$(xdotool getwindowgeometry --shell "$win")"
import -window root -crop "433x345+${X}+${Y}" +repage docs/mainwindow.png
echo "wrote docs/mainwindow.png"

# "suchen" opens the allowed-characters dialog; its caption is a single space.
click 392 218
special=$(xdotool search --sync --onlyvisible --name '^ $' | head -n 1)
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$special")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage docs/specialselect.png
echo "wrote docs/specialselect.png"

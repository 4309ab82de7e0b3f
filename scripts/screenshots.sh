#!/usr/bin/env bash
# Makes the README's screenshots under Xvfb from the current build in build/ (or KAPPWERK_BIN):
# docs/mainwindow.png (a folder listed, some files ticked), docs/specialselect.png (the
# allowed-characters dialog, its spelling-out ticked), docs/preview-marks.png (names that cut to
# one, made distinct, with a tooltip shown) and docs/preview-window.png (the preview window). Needs xvfb-run, xdotool and
# ImageMagick (apt-get install imagemagick).
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

bin=${KAPPWERK_BIN:-./build/src/app/kappwerk}
"$bin" & pid=$!
win=$(xdotool search --sync --onlyvisible --name '^Kappwerk$' | head -n 1)
sleep 0.5
click() { xdotool mousemove --window "$win" "$1" "$2" click 1; sleep 0.3; }
# "Ordner öffnen", then the folder typed into the dialog.
choose_folder() {
  click 244 308
  dialog=$(xdotool search --sync --onlyvisible --name '^Bitte wählen Sie den Ordner' | head -n 1)
  sleep 0.5
  xdotool mousemove --window "$dialog" 40 40
  xdotool key --clearmodifiers ctrl+a
  xdotool type --delay 10 "$1"
  xdotool key Return
  sleep 1
}
choose_folder "$music"
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
# Tick "Umlaute und Akzente umschreiben (ä → ae)" below the grid.
xdotool mousemove --window "$special" 24 512 click 1
sleep 0.3
eval "$(xdotool getwindowgeometry --shell "$special")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage docs/specialselect.png
echo "wrote docs/specialselect.png"
xdotool key Escape
sleep 0.3

# The preview: an album whose titles all cut to the same 30 characters, every file ticked.
album="$work/Album"
mkdir -p "$album"
for n in 01 02 03 04 05; do printf 'x' > "$album/Best of Classics Vol 1 - Track $n.mp3"; done
for name in "Bolero.mp3" "Die Moldau.mp3" "Eine kleine Nachtmusik.mp3"; do printf 'x' > "$album/$name"; done
choose_folder "$album"
click 28 316 # "Alle auswählen"
# Rest the pointer on the album's last entry until its tooltip shows, then lay the window and the
# tooltip on a plain background as a desktop would show them.
xdotool mousemove --window "$win" 90 89 # rows are about 14 px high
sleep 2
eval "$(xdotool getwindowgeometry --shell "$win")"
wx=$X wy=$Y
import -window "$win" "$work/main.png"
tip=""
for w in $(xdotool search --onlyvisible --pid "$pid"); do
  [ "$w" = "$win" ] || tip=$w
done
eval "$(xdotool getwindowgeometry --shell "$tip")"
import -window "$tip" "$work/tip.png"
right=$(( X - wx + WIDTH > 433 ? X - wx + WIDTH + 8 : 433 ))
convert -size "${right}x345" xc:'#c8ccd2' "$work/main.png" -geometry +0+0 -composite \
        "$work/tip.png" -geometry "+$((X - wx))+$((Y - wy))" -composite docs/preview-marks.png
echo "wrote docs/preview-marks.png"

# The list's menu by a right click, then its first entry.
xdotool mousemove --window "$win" 90 $((33 + 6 * 17)) click 3
sleep 0.5
xdotool key Down Return
preview=$(xdotool search --sync --onlyvisible --name '^Vorschau der neuen Namen$' | head -n 1)
sleep 1
eval "$(xdotool getwindowgeometry --shell "$preview")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage docs/preview-window.png
echo "wrote docs/preview-window.png"

#!/usr/bin/env bash
# Shows under Xvfb that the progress bar moves during the copy of one 2 GiB file into MOBIX
# and that Escape + "Ja" stops the run with nothing partial left; saves three of the
# screenshots as docs/progress-1.png … docs/progress-3.png.
#
# The copy runs on an exFAT image under /var/tmp mounted through FUSE (exfat-fuse), where it
# takes tens of seconds. On the local disk the 2 GiB land in the page cache within a second or
# two and the rest of the run is the final flush, which the bar shows as full: too quick to
# catch the bar in motion and to stop the copy midway. KAPPWERK_SHOTS_DISK=1 uses a plain
# folder under /var/tmp instead.
#
# Needs a build in build/, root (for the loop device and the FUSE mount), exfat-fuse, exfatprogs,
# xdotool and
# ImageMagick (apt-get install imagemagick).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${KAPPWERK_SHOTS_INNER:-}" ]; then
  export KAPPWERK_SHOTS_INNER=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0"
fi

work=$(mktemp -d /var/tmp/kappwerk-shots-XXXXXX)
mounted=""
device=""
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  if [ -n "$mounted" ]; then umount "$mounted" 2>/dev/null || umount -l "$mounted" 2>/dev/null || true; fi
  [ -n "$device" ] && losetup -d "$device" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_STATE_HOME" "$work/shots"

folder="$work/Hörbücher"
if [ -z "${KAPPWERK_SHOTS_DISK:-}" ]; then
  truncate -s 5G "$work/card.img"
  mkfs.exfat -L KARTE "$work/card.img" >/dev/null
  mkdir -p "$work/card"
  device=$(losetup -f --show "$work/card.img")
  mount.exfat-fuse "$device" "$work/card" 2>/dev/null
  mounted="$work/card"
  folder="$work/card/Hörbücher"
fi
mkdir -p "$folder"
echo "file system: $(findmnt -n -o FSTYPE -T "$folder")"
dd if=/dev/zero of="$folder/Der Zauberberg - ungekürzte Lesung.mp3" bs=16M count=128 status=none
sync -f "$folder"

./build/src/app/kappwerk "$folder" & pid=$!
win=$(xdotool search --sync --onlyvisible --name '^Kappwerk$' | head -n 1)
sleep 1
eval "$(xdotool getwindowgeometry --shell "$win")"
click() { xdotool mousemove --window "$win" "$1" "$2" click 1; sleep 0.3; }
shot() { import -window root -crop "433x345+${X}+${Y}" +repage "$1"; }
# The bar "Fortschritt" lies at 224,248 in the window, 193 x 9 pixels; its filled part is the
# blue of the style's highlight, its empty part grey or white.
bar_width() {
  convert "$1" -crop 193x1+224+252 +repage -fx '(b - r) > 0.3 ? 1 : 0' \
    -format '%[fx:round(mean*w)]' info:
}

click 28 316   # "Alle auswählen"
click 292 308  # "Dateinamen ändern"

# Screenshots at intervals until the bar has shown three different fill widths that are
# neither empty nor full (or the time is up).
widths=()
kept=()
for i in $(seq 1 "${KAPPWERK_SHOTS_MAX:-60}"); do
  sleep 0.5
  file="$work/shots/shot-$i.png"
  shot "$file"
  w=$(bar_width "$file")
  echo "shot $i: bar filled $w of 193 pixels"
  if [ "$w" -gt 4 ] && [ "$w" -lt 188 ] && [[ ! " ${widths[*]-} " =~ " $w " ]]; then
    widths+=("$w")
    kept+=("$file")
  fi
  [ ${#kept[@]} -ge 3 ] && break
done
if [ ${#kept[@]} -lt 3 ]; then
  cp "$file" /tmp/kappwerk-progress-fail.png
  echo "FAIL: the bar showed only ${#kept[@]} different fill widths during the copy" \
    "(last screenshot: /tmp/kappwerk-progress-fail.png)" >&2
  exit 1
fi
for n in 1 2 3; do cp "${kept[$((n - 1))]}" "docs/progress-$n.png"; done
echo "wrote docs/progress-1.png … docs/progress-3.png (bar widths ${widths[*]})"

# Escape asks "Lauf abbrechen?"; "Nein" is the default, so answer with Alt+J ("&Ja").
xdotool key --window "$win" Escape
question=$(xdotool search --sync --onlyvisible --name '^Kappwerk$' | grep -v "^$win\$" | head -n 1)
sleep 0.5
shot "$work/shots/question.png"
xdotool key --window "$question" alt+j
# The run stops after the current chunk, the list is refilled and a message names the file
# that was not copied ("abgebrochen"); Return closes it.
sleep 2
for report in $(xdotool search --onlyvisible --name '^Kappwerk$' | grep -v "^$win\$" || true); do
  [ -f "$work/shots/report.png" ] || shot "$work/shots/report.png"
  xdotool key --window "$report" Return 2>/dev/null || true
done
sleep 1
shot "$work/shots/after.png"

# KAPPWERK_SHOTS_KEEP=DIR keeps every screenshot, the question and the window after the stop.
[ -n "${KAPPWERK_SHOTS_KEEP:-}" ] && mkdir -p "$KAPPWERK_SHOTS_KEEP" && cp "$work"/shots/*.png "$KAPPWERK_SHOTS_KEEP"

# Had the run gone on to its end, MOBIX would hold the copy. A stopped run leaves nothing there,
# not even a hidden temporary file, and the original as it was.
leftover=$(find "$folder/MOBIX" -mindepth 1 2>/dev/null || true)
if ! kill -0 "$pid" 2>/dev/null; then
  echo "FAIL: Kappwerk ended" >&2
  exit 1
elif [ -n "$leftover" ]; then
  echo "FAIL: MOBIX holds: $leftover" >&2
  exit 1
elif [ "$(stat -c %s "$folder/Der Zauberberg - ungekürzte Lesung.mp3")" != $((2 << 30)) ]; then
  echo "FAIL: the original changed" >&2
  exit 1
fi
echo "stopped: nothing is left in MOBIX, the original is unchanged"

#!/usr/bin/env bash
# Drives the real program under Xvfb with its folder on a memory card that stops answering: an
# exFAT image mounted through FUSE whose process is stopped once the folder is listed. Typing a
# new length must not wait for the card, and "Programm beenden" must end the program while the
# card still hangs, with the options saved. Then the program is started with a folder on the
# card that still hangs: its window must show, and close when asked as a window manager asks.
# Usage: run_e2e_hung.sh /path/to/kappwerk   (as root; exits 77, skipped, where mounting is unavailable)
set -euo pipefail

program=$(readlink -f "$1")
if [ -z "${KAPPWERK_E2E_INNER:-}" ]; then
  export KAPPWERK_E2E_INNER=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$program"
fi

skip() { echo "SKIP: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "mounting needs root"
[ -e /dev/fuse ] || skip "no /dev/fuse"
for tool in mkfs.exfat mount.exfat-fuse losetup; do
  command -v "$tool" >/dev/null || skip "$tool is not installed"
done

work=$(mktemp -d)
device="" daemon="" pid=""
cleanup() {
  [ -n "$daemon" ] && kill -CONT "$daemon" 2>/dev/null || true
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  umount "$work/card" 2>/dev/null || umount -l "$work/card" 2>/dev/null || true
  [ -n "$device" ] && losetup -d "$device" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_STATE_HOME" "$XDG_RUNTIME_DIR" "$work/card" && chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM

truncate -s 32M "$work/card.img"
mkfs.exfat "$work/card.img" >/dev/null || skip "mkfs.exfat failed"
device=$(losetup -f --show "$work/card.img") || skip "no loop device"
mount.exfat-fuse "$device" "$work/card" >/dev/null 2>&1 || skip "mount.exfat-fuse failed"
printf 'allegro' > "$work/card/Track 01 - Allegro.mp3"
for process in /proc/[0-9]*; do
  if tr '\0' ' ' < "$process/cmdline" 2>/dev/null | grep -q "exfat-fuse .*$work/card"; then
    daemon=${process#/proc/}
    break
  fi
done

fail() { echo "FAIL: $*" >&2; exit 1; }
click() { echo "-- $1"; xdotool mousemove --window "$win" "$2" "$3" click 1; sleep 0.3; }

"$program" "$work/card" & pid=$!
win=$(xdotool search --sync --onlyvisible --name '^Kappwerk$' | head -n 1)
[ -n "$win" ] || fail "main window did not appear"
sleep 1
[ -n "$daemon" ] || fail "the card's FUSE process was not found"

click "Alle auswählen" 28 316
click "Im Unterordner MOBIX speichern" 230 188 # copies beside the originals: the card's names count
echo "-- the card stops answering"
kill -STOP "$daemon"
click "Nach __ Zeichen abschneiden" 284 42
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 50 "5"
sleep 0.5
click "Programm beenden" 396 308
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "program did not end while the card hung"
wait "$pid" || fail "program exited with an error"
pid=""

conf="$XDG_CONFIG_HOME/Kappwerk/Kappwerk.conf"
for line in 'MaxFileLength.Text=5' 'Subdirectory.Value=0'; do
  grep -qxF "$line" "$conf" || fail "settings file lacks $line"
done

echo "-- started with a folder on the card that still hangs"
cc -o "$work/wmclose" "$(dirname "$0")/wmclose.c" -lX11 || fail "cannot build the close helper"
rm "$conf"
"$program" "$work/card/Neue Lieder" & pid=$! # a name the card was never asked for, so no cache answers
win=$(timeout 20 xdotool search --sync --onlyvisible --name '^Kappwerk$' | head -n 1) || true
[ -n "$win" ] || fail "main window did not appear while the card hung"
sleep 1
kill -0 "$pid" 2>/dev/null || fail "program ended by itself"
"$work/wmclose" "$win"
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "program did not close while the card hung"
wait "$pid" || fail "program exited with an error"
pid=""
grep -q '^MaxFileLength.Text=' "$conf" 2>/dev/null || fail "options not saved at the close"
echo "2 passed, 0 failed"

#!/usr/bin/env bash
# Times Kappwerk as a user times it: whole commands from their start to their end, and the
# window from its start to the list painted on the screen, each beside the plain tools that do
# the same work, on the same files. The contenders of a row take turns within each round, in an
# order that turns from round to round, so a change in the machine's load falls on all of them
# alike; each row prints the median and the range over its rounds, the ratio to its reference
# (median and range of the ratios taken within each round) and the machine's load meanwhile.
#
#   bash bench/wholecommands.sh [ROUNDS]          # 7 rounds unless given
#
# KAPPWERK: the program to time (build/src/app/kappwerk); KAPPWERK_BEFORE: another build of it,
# timed in the same rounds; TMPFS (/dev/shm) and DISK (/var/tmp): where the folders are made;
# ROWS: the rows to run (rename dryrun window copy fuse). The window row needs Xvfb and the X
# DAMAGE headers (libx11-dev, libxdamage-dev); perl rename, mmv and detox join the rename row
# where Debian's packages rename, mmv and detox are installed; the FUSE row (system calls per
# file on an exFAT image, strace) needs root, exfat-fuse and strace. Run as root, the script
# installs what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
# What the rows need from Debian, installed as scripts/setup.sh installs the build's packages.
needed=()
for p in libx11-dev libxdamage-dev rename mmv detox strace xvfb; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || needed+=("$p")
done
if [ ${#needed[@]} -gt 0 ] && [ "$(id -u)" -eq 0 ]; then
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${needed[@]}"
fi
rounds=${1:-7}
program=$(realpath "${KAPPWERK:-build/src/app/kappwerk}")
before=${KAPPWERK_BEFORE:+$(realpath "$KAPPWERK_BEFORE")}
tmpfs=${TMPFS:-/dev/shm}
disk=${DISK:-/var/tmp}
rows=${ROWS:-rename dryrun window copy fuse}
[ -x "$program" ] || { echo "no program at $program: build first (bash scripts/build.sh)"; exit 1; }

work=$(mktemp -d)
xvfb=""
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  mountpoint -q "$work/fuse/mnt" 2>/dev/null && umount "$work/fuse/mnt" || true
  [ -f "$work/fuse/loop" ] && losetup -d "$(cat "$work/fuse/loop")" 2>/dev/null || true
  rm -rf "$work" "$tmpfs"/kappwerk-whole.* "$disk"/kappwerk-whole.*
}
trap cleanup EXIT

cc -O2 -o "$work/timed" bench/whole/timed.c
cc -O2 -o "$work/refrename" bench/whole/refrename.c
haveWatch=0
if cc -O2 -o "$work/paintwatch" bench/whole/paintwatch.c -lX11 -lXdamage 2>/dev/null; then haveWatch=1; fi

# Each file system gets its own home for the program's settings and journal, so the journal is
# written where the files are.
homeOn() {
  local home="$1/home"
  mkdir -p "$home/state" "$home/config" "$home/runtime"
  chmod 700 "$home/runtime"
  echo "$home"
}
kw() { # home: the environment's assignments, put before a command for timed (or env)
  local home=$1; shift
  echo HOME="$home" XDG_STATE_HOME="$home/state" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/runtime"
}

# N files "Track 1.mp3" ... in a fresh folder, each of the given size. The folder then rests
# for 50 ms, as a folder a user points a program at has: Kappwerk does not trust its own listing
# of a folder changed within the last 10 ms (a change in the same tick of the clock would not
# show) and reads such a folder a second time for the run.
makeFiles() { # folder count bytes
  rm -rf "$1"
  mkdir -p "$1"
  if [ "$3" -eq 0 ]; then
    (cd "$1" && seq -f 'Track %g.mp3' 1 "$2" | xargs -d '\n' touch)
  else
    head -c "$3" /dev/urandom > "$1/.one"
    (cd "$1" && seq -f 'Track %g.mp3' 1 "$2" | xargs -d '\n' -n 1 cp .one && rm .one)
  fi
  sleep 0.05
}

load() { cut -d' ' -f1-3 /proc/loadavg; }

# Prints one row from the files of its contenders (one "round value" line per round); the first
# contender is Kappwerk, the one named by reference the reference.
summary() { # title unit reference contender...
  local title=$1 unit=$2 reference=$3; shift 3
  echo "== $title (load before/after: $rowLoad / $(load))"
  local name
  for name in "$@"; do
    [ -s "$work/r.$name" ] || continue
    awk -v name="$name" -v unit="$unit" -v ref="$work/r.$reference" -v isref="$([ "$name" = "$reference" ] && echo 1 || echo 0)" '
      BEGIN { while ((getline line < ref) > 0) { split(line, f, " "); base[f[1]] = f[2] } }
      { v[++n] = $2; if (!isref && base[$1] > 0) r[++m] = $2 / base[$1] }
      function sortv(a, k,   i, j, t) { for (i = 2; i <= k; i++) for (j = i; j > 1 && a[j-1] > a[j]; j--) { t = a[j]; a[j] = a[j-1]; a[j-1] = t } }
      END {
        sortv(v, n); line = sprintf("  %-26s median %9.1f %s   range %.1f-%.1f   (%d rounds)", name, v[int((n+1)/2)], unit, v[1], v[n], n)
        if (m > 0) { sortv(r, m); line = line sprintf("   ratio %.2f (%.2f-%.2f)", r[int((m+1)/2)], r[1], r[m]) }
        print line
      }' "$work/r.$name"
  done
}

# One round: the contenders in an order turned by the round's number.
turned() { # round names...
  local round=$1; shift
  local names=("$@") count=$#
  for ((i = 0; i < count; ++i)); do echo "${names[(i + round) % count]}"; done
}

# Whole rename of 10,000 files: Kappwerk's command line, the C loop, and the renaming tools.
renameRow() { # file system label, base folder
  local label=$1 base=$2
  local dir="$base/files" home
  home=$(homeOn "$base")
  local contenders=(kappwerk refrename)
  [ -n "$before" ] && contenders+=(kappwerk-before)
  command -v file-rename >/dev/null && contenders+=(perl-rename)
  command -v mmv >/dev/null && contenders+=(mmv)
  command -v detox >/dev/null && contenders+=(detox)
  rm -f "$work"/r.*
  rowLoad=$(load)
  for ((round = 0; round < rounds; ++round)); do
    for name in $(turned "$round" "${contenders[@]}"); do
      makeFiles "$dir" 10000 0
      case $name in
      kappwerk) set -- $(kw "$home") "$program" --run --rename --number 'x %#' --keep "$dir" ;;
      kappwerk-before) set -- $(kw "$home") "$before" --run --rename --number 'x %#' --keep "$dir" ;;
      refrename) set -- "$work/refrename" "$dir" ;;
      perl-rename) set -- sh -c 'cd "$1" && exec file-rename "s/^Track /x /" -- *' sh "$dir" ;;
      mmv) set -- sh -c 'cd "$1" && exec mmv "Track *.mp3" "x #1.mp3"' sh "$dir" ;;
      detox) set -- detox "$dir" ;;
      esac
      read -r ms status < <("$work/timed" "$@")
      [ "$status" -eq 0 ] || echo "  ($name ended with $status)"
      echo "$round $ms" >> "$work/r.$name"
    done
  done
  summary "rename 10,000 files, whole command, $label" ms refrename "${contenders[@]}"
}

# --dry-run of 100,000 files (list, natural order, print) against ls -1.
dryRunRow() { # label base
  local label=$1 base=$2
  local dir="$base/files" home
  home=$(homeOn "$base")
  makeFiles "$dir" 100000 0
  local contenders=(kappwerk ls)
  [ -n "$before" ] && contenders+=(kappwerk-before)
  rm -f "$work"/r.*
  rowLoad=$(load)
  for ((round = 0; round < rounds; ++round)); do
    for name in $(turned "$round" "${contenders[@]}"); do
      case $name in
      kappwerk) set -- $(kw "$home") "$program" --dry-run "$dir" ;;
      kappwerk-before) set -- $(kw "$home") "$before" --dry-run "$dir" ;;
      ls) set -- ls -1 "$dir" ;;
      esac
      read -r ms status < <("$work/timed" "$@")
      echo "$round $ms" >> "$work/r.$name"
    done
  done
  summary "--dry-run of 100,000 files, whole command, $label" ms ls "${contenders[@]}"
}

# The window from its start to 100,000 files painted, against ls -1 | wc -l; and the memory a
# listed file takes (resident memory at the paint, less that with one file, per file).
windowRow() { # label base
  local label=$1 base=$2
  if [ "$haveWatch" -eq 0 ] || ! command -v Xvfb >/dev/null; then
    echo "== window, $label: skipped (needs Xvfb, libx11-dev and libxdamage-dev)"
    return
  fi
  if [ -z "$xvfb" ]; then
    display=:$((90 + RANDOM % 100))
    Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    sleep 1
  fi
  local dir="$base/files" one="$base/one" home
  home=$(homeOn "$base")
  makeFiles "$dir" 100000 0
  makeFiles "$one" 1 0
  # The list's first rows, inside its frame (window coordinates).
  local watch=("$work/paintwatch" 24 30 160 40 30000)
  local contenders=(kappwerk ls-wc)
  [ -n "$before" ] && contenders+=(kappwerk-before)
  rm -f "$work"/r.* "$work"/m.*
  rowLoad=$(load)
  for ((round = 0; round < rounds; ++round)); do
    for name in $(turned "$round" "${contenders[@]}"); do
      local bin=$program
      [ "$name" = kappwerk-before ] && bin=$before
      if [ "$name" = ls-wc ]; then
        read -r ms status < <("$work/timed" sh -c 'ls -1 "$1" | wc -l' sh "$dir")
      else
        read -r ms kb < <(DISPLAY=$display env $(kw "$home") "${watch[@]}" "$bin" "$dir")
        read -r _ small < <(DISPLAY=$display env $(kw "$home") "${watch[@]}" "$bin" "$one")
        echo "$round $(( (kb - small) * 1024 / 99999 ))" >> "$work/m.$name"
      fi
      echo "$round $ms" >> "$work/r.$name"
    done
  done
  summary "window, start to 100,000 files painted, $label" ms ls-wc "${contenders[@]}"
  for name in kappwerk kappwerk-before; do
    [ -s "$work/m.$name" ] && awk -v name="$name" '{ v[++n] = $2 } END { for (i = 2; i <= n; i++) for (j = i; j > 1 && v[j-1] > v[j]; j--) { t = v[j]; v[j] = v[j-1]; v[j-1] = t }; printf "  %-26s memory per listed file: median %d bytes, range %d-%d\n", name, v[int((n+1)/2)], v[1], v[n] }' "$work/m.$name"
  done
  return 0
}

# 1,000 files of 256 KiB copied into MOBIX and on the device, against cp + sync -f.
copyRow() { # label base
  local label=$1 base=$2
  local dir="$base/files" home
  home=$(homeOn "$base")
  makeFiles "$dir" 1000 262144
  local contenders=(kappwerk cp-sync)
  [ -n "$before" ] && contenders+=(kappwerk-before)
  rm -f "$work"/r.*
  rowLoad=$(load)
  for ((round = 0; round < rounds; ++round)); do
    for name in $(turned "$round" "${contenders[@]}"); do
      rm -rf "$dir/MOBIX"
      sync -f "$dir"
      case $name in
      kappwerk) set -- $(kw "$home") "$program" --run --mobix --keep "$dir" ;;
      kappwerk-before) set -- $(kw "$home") "$before" --run --mobix --keep "$dir" ;;
      cp-sync) set -- sh -c 'mkdir "$1/MOBIX" && cp --preserve=mode,timestamps "$1"/*.mp3 "$1/MOBIX/" && sync -f "$1/MOBIX"' sh "$dir" ;;
      esac
      read -r ms status < <("$work/timed" "$@")
      echo "$round $ms" >> "$work/r.$name"
    done
  done
  summary "copy 1,000 files of 256 KiB into MOBIX with the final flush, whole command, $label" ms cp-sync "${contenders[@]}"
}

# The command line of a contender of the FUSE row, into the array cmd.
fuseCommand() { # name home folder
  case $1 in
  kappwerk) cmd=($(kw "$2") "$program" --run --rename --number 'x %#' --keep "$3") ;;
  kappwerk-before) cmd=($(kw "$2") "$before" --run --rename --number 'x %#' --keep "$3") ;;
  plain-loop) cmd=("$work/refrename" "$3") ;;
  perl-rename) cmd=(sh -c 'cd "$1" && exec file-rename "s/^Track /x /" -- *' sh "$3") ;;
  mmv) cmd=(sh -c 'cd "$1" && exec mmv "Track *.mp3" "x #1.mp3"' sh "$3") ;;
  esac
}

# System calls per file renaming on an exFAT card through FUSE: the calls of 2,000 files less
# those of 1,000, per file, so start-up does not count.
fuseRow() {
  if [ "$(id -u)" -ne 0 ] || ! command -v mount.exfat-fuse >/dev/null || ! command -v strace >/dev/null; then
    echo "== FUSE exFAT: skipped (needs root, exfat-fuse and strace)"
    return
  fi
  local f="$work/fuse"
  mkdir -p "$f/mnt"
  truncate -s 128M "$f/image"
  mkfs.exfat "$f/image" >/dev/null
  losetup -f --show "$f/image" > "$f/loop"
  mount.exfat-fuse "$(cat "$f/loop")" "$f/mnt"
  local home
  home=$(homeOn "$work/fusehome")
  local contenders=(kappwerk plain-loop)
  [ -n "$before" ] && contenders+=(kappwerk-before)
  command -v file-rename >/dev/null && contenders+=(perl-rename)
  command -v mmv >/dev/null && contenders+=(mmv)
  echo "== rename on exFAT through FUSE, system calls per file (files of 4 KiB; load $(load))"
  for name in "${contenders[@]}"; do
    local counts=()
    for n in 1000 2000; do
      makeFiles "$f/mnt/files" "$n" 4096
      fuseCommand "$name" "$home" "$f/mnt/files"
      strace -f -c -o "$work/strace" env "${cmd[@]}" > /dev/null 2>&1 || true
      counts+=("$(awk '/ total$/ { print $4 }' "$work/strace")")
    done
    awk -v name="$name" -v a="${counts[0]}" -v b="${counts[1]}" 'BEGIN { printf "  %-26s %.2f calls per file\n", name, (b - a) / 1000 }'
  done
  # The same renames timed, 2,000 files a round.
  rm -f "$work"/r.*
  rowLoad=$(load)
  for ((round = 0; round < rounds; ++round)); do
    for name in $(turned "$round" "${contenders[@]}"); do
      makeFiles "$f/mnt/files" 2000 4096
      fuseCommand "$name" "$home" "$f/mnt/files"
      read -r ms status < <("$work/timed" "${cmd[@]}")
      echo "$round $ms" >> "$work/r.$name"
    done
  done
  summary "rename 2,000 files of 4 KiB on exFAT through FUSE, whole command" ms plain-loop "${contenders[@]}"
}

echo "Kappwerk: $program${before:+ (before: $before)}; $rounds rounds; $(nproc) cores; $(date -u '+%Y-%m-%d %H:%M UTC')"
# Runs a row on tmpfs, then on the disk, each in a folder of its own.
onBoth() {
  local fs base
  for fs in tmpfs disk; do
    base=$(mktemp -d "$([ $fs = tmpfs ] && echo "$tmpfs" || echo "$disk")/kappwerk-whole.XXXXXX")
    "$1" "$([ $fs = tmpfs ] && echo tmpfs || stat -f -c %T "$disk")" "$base"; rm -rf "$base"
  done
}
for row in $rows; do
  case $row in
  rename) onBoth renameRow ;;
  dryrun) onBoth dryRunRow ;;
  window) onBoth windowRow ;;
  copy) onBoth copyRow ;;
  fuse) fuseRow ;;
  esac
done

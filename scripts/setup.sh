#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Kappwerk need.
# Safe to run again: it only calls apt-get when a package is missing.
set -euo pipefail

packages=(
  cmake g++ make
  qt6-base-dev qt6-svg-dev qt6-translations-l10n qt6-l10n-tools libicu-dev
  libgl-dev libgtest-dev libbenchmark-dev
  fonts-wine fonts-dejavu-core
  xvfb xauth xdotool libx11-dev
  desktop-file-utils appstream
  lintian dpkg-dev
  fusefat exfat-fuse dosfstools exfatprogs fuse3
  locales
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

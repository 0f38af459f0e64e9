#!/usr/bin/env bash
# Installs every Debian package ZEK needs to build, run and test. Safe to run
# again: apt-get skips what is already there.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
  libxcb1-dev libfontconfig-dev libjpeg62-turbo-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb openbox xdotool x11-utils imagemagick
  abcmidi fonts-ipafont-gothic fonts-ipafont-mincho
  trayer
  # xdg-open (ZEK's only program started by name) needs mimetype to tell a
  # file's type outside a full desktop.
  # gio (libglib2.0-bin) marks launchers trusted and opens files in tests.
  xdg-utils shared-mime-info desktop-file-utils libfile-mimeinfo-perl libglib2.0-bin
  libfluidsynth-dev fluidsynth timgm6mb-soundfont libsndfile1-dev
  pulseaudio pulseaudio-utils
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all ${#packages[@]} packages are installed"
  exit 0
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash
# Installs the Debian packages Pattix needs to build, test and run, when any is missing.
# Idempotent: with everything present it changes nothing and never touches the network.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  clang-14 libclang-rt-14-dev clang-format-14
  libgtest-dev libgmock-dev libbenchmark-dev libssl-dev
  libpng-dev libcli11-dev
  libfontconfig-dev libfreetype-dev fonts-dejavu-core fonts-liberation2
  libgl-dev libopengl-dev libglu1-mesa-dev libegl-dev libegl-mesa0 libgl1-mesa-dri
  libcairo2-dev libpango1.0-dev poppler-utils
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-tools gstreamer1.0-plugins-base
  libglfw3-dev libimgui-dev libx11-dev xvfb xauth xdotool
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "pattix: installing ${missing[*]}" >&2
  sudo_cmd=()
  [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Quorvel need.
# Packages already present are left alone, so a second run costs nothing.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config clang-format clang-tidy
    qt6-base-dev qt6-base-dev-tools libgl-dev libglib2.0-dev libjpeg-dev
    libwebp-dev libtiff-dev libheif-dev libavif-dev libjxl-dev qt6-svg-dev zlib1g-dev
    webp libtiff-tools libheif-examples libavif-bin libjxl-tools
    fonts-dejavu-core fonts-liberation fonts-urw-base35
    xvfb openbox xdotool x11-utils xclip trash-cli trayer
    imagemagick dbus-x11 shared-mime-info
    at-spi2-core python3-pyatspi python3-pytest python3-pytest-timeout
    desktop-file-utils appstream dpkg-dev file groff-base
    python3-gi libglib2.0-bin
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

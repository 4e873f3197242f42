#!/usr/bin/env bash
# Installs the Debian packages mirvale needs to build, run and test.
# Does nothing when everything is already present, so a second run is quick.
set -euo pipefail

packages=(
    # toolchain
    build-essential cmake pkg-config
    # Qt 6 and the plugins the program loads at run time
    qt6-base-dev qt6-base-dev-tools qt6-pdf-dev qt6-svg-dev libqt6svg6
    qt6-qpa-plugins qt6-image-formats-plugins libgl-dev
    # recognition and QR encoding
    libtesseract-dev tesseract-ocr tesseract-ocr-eng libqrencode-dev
    # the PDF helper's system-call filter
    libseccomp-dev
    # compiling the Windows-only sources that need no Qt, as a test
    g++-mingw-w64-x86-64-posix
    # the start-up benchmark watches the X server
    libxcb1-dev
    # fonts for rendering text headlessly
    fonts-dejavu-core
    # running and checking the program headlessly
    xvfb xauth x11-utils xdotool openbox trayer dbus-x11
    zbar-tools poppler-utils imagemagick
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

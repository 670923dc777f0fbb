#!/usr/bin/env bash
# Installs what building, running and testing Kestrin need on Debian 12; does nothing when all of
# it is already there. Uses sudo when not run as root.
set -euo pipefail

packages=(
    # build
    g++ cmake ninja-build pkg-config qt6-base-dev libsdl2-dev libasound2-dev libpulse-dev libxcb1-dev libgtest-dev
    clang libclang-rt-14-dev clang-format
    # runtime look and sound
    fonts-dejavu-core qt6-qpa-plugins
    # tests: a real X server and sound server, and the tools that drive and measure them
    xvfb x11-utils xdotool pulseaudio pulseaudio-utils sox imagemagick
    # the same sends through PipeWire's PulseAudio server, as Debian 12 desktops run it
    pipewire pipewire-pulse wireplumber dbus-daemon
    # the Windows build's sound under Wine: Wine's ALSA driver, through ALSA's pulse plugin
    libasound2-plugins
    # tests: a Wayland compositor with XWayland, and a screen reader's view over a private bus
    weston xwayland qt6-wayland dbus at-spi2-core python3-pyatspi
    # tests: a window manager that draws frames
    openbox
    # packaging checks
    desktop-file-utils appstream dpkg-dev file lintian man-db
    # the Windows build: cross-compiled with MinGW-w64 (icon drawn with Python), its tests run
    # under Wine, and its installer
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 googletest wine64 nsis python3
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

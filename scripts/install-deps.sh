#!/usr/bin/env bash
# Installs every Debian package needed to build, run and test tavixDisp.
# Idempotent: packages already present are left alone. Works as root or through sudo.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev
  libsdl2-dev libsdl2-ttf-dev libsdl2-image-dev libsdl2-gfx-dev
  libcurl4-openssl-dev libre2-dev
  fonts-misaki xfonts-mplus xfonts-shinonome
  python3 python3-fonttools python3-freetype python3-xlib
  clang-14 libclang-rt-14-dev
  xvfb xdotool imagemagick x11-utils libjpeg-turbo-progs openbox
  dpkg-dev file lintian appstream desktop-file-utils
)

if [ "$(id -u)" -eq 0 ]; then
  SUDO=()
elif command -v sudo >/dev/null 2>&1; then
  SUDO=(sudo)
else
  echo "install-deps: run as root or install sudo" >&2
  exit 1
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -qq
"${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Velkaro needs.
# Idempotent: packages already present are skipped, and apt-get is only asked
# when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libcurl4-openssl-dev libicu-dev libjpeg62-turbo-dev libpng-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libcpp-httplib-dev
  fonts-wqy-microhei
  xvfb openbox xdotool wmctrl x11-utils imagemagick xdg-utils python3
  clang libclang-rt-14-dev
  libgif-dev libstb-dev netpbm python3-pil
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

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages (${missing[*]}); run as root to install them" >&2
  exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"

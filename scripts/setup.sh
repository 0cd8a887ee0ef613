#!/usr/bin/env bash
# Installs every Debian package the project needs. Quick when all is present.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libcurl4-openssl-dev zlib1g-dev libsqlite3-dev sqlite3
  mdbtools mdbtools-dev libmspack-dev libchm-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  python3 python3-pyftpdlib gcab curl openssl
  xvfb xauth trayer openbox x11-utils xdotool locales
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -qq
  $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# The tests pin a Czech locale for the system short date format.
if ! locale -a 2>/dev/null | grep -qi '^cs_CZ.utf8$'; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd sed -i 's/^# *cs_CZ.UTF-8 UTF-8/cs_CZ.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^cs_CZ.UTF-8 UTF-8' /etc/locale.gen || echo 'cs_CZ.UTF-8 UTF-8' | $sudo_cmd tee -a /etc/locale.gen >/dev/null
  $sudo_cmd locale-gen >/dev/null
fi

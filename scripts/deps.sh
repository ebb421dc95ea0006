#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Orlenta need.
# Only missing packages are installed, so a second run costs a dpkg query.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev libqt6svg6 qt6-charts-dev libqt6opengl6-dev libxlsxwriter-dev libsodium-dev
  libzip-dev libfreexl-dev zlib1g-dev
  qt6-translations-l10n
  libqt6sql6-sqlite libqt6sql6-odbc
  unixodbc unixodbc-dev odbcinst
  libsqliteodbc odbc-postgresql
  libsqlite3-dev sqlite3 libpq-dev
  postgresql-15 postgresql-client-15
  fonts-wqy-microhei
  poppler-utils unzip
  xvfb xauth
  dpkg-dev file lintian
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Need root (or sudo) to install: ${missing[*]}" >&2; exit 1; }
  sudo=sudo
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"

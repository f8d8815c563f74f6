#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing.
set -euo pipefail

packages=(g++ cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev
          libjpeg-dev libbenchmark-dev qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
          help2man lintian libqt6sql6-sqlite libqt6sql6-psql qt6-charts-dev libqt6opengl6-dev postgresql)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"

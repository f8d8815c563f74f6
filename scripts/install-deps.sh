#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing.
set -euo pipefail

packages=(g++ cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev
          libjpeg-dev libbenchmark-dev qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
          help2man lintian libqt6sql6-sqlite libqt6sql6-psql qt6-charts-dev libqt6opengl6-dev postgresql
          python3-jsonschema locales
          libmosquitto-dev mosquitto mosquitto-clients)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# The locales the command-line tests run the program under.
locales=(it_IT pl_PL)
missing_locales=()
for l in "${locales[@]}"; do
  locale -a 2>/dev/null | grep -qix "$l.utf8" || missing_locales+=("$l")
done
[ ${#missing[@]} -eq 0 ] && [ ${#missing_locales[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
for l in "${missing_locales[@]}"; do
  echo "Generating the locale $l.UTF-8"
  $sudo localedef -i "$l" -f UTF-8 "$l.UTF-8"
done

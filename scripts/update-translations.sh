#!/usr/bin/env bash
# Brings the Italian and Polish catalogues up to date with the texts in the
# code (new texts come in unfinished; translate them in Qt Linguist or by hand).
set -euo pipefail
cd "$(dirname "$0")/.."
lupdate=/usr/lib/qt6/bin/lupdate
[ -x "$lupdate" ] || lupdate=$(command -v lupdate6 || command -v lupdate)
"$lupdate" -no-obsolete -locations none src/app src/ops src/display src/link src/archive \
  -ts src/app/translations/telvaro_it.ts src/app/translations/telvaro_pl.ts

#!/usr/bin/env bash
# Builds the screenshot program and writes the window's screenshots (live demo
# traffic on the Table and Trace pages, the item editor, the About box) to
# docs/screenshots/. Runs offscreen: no display needed.
set -euo pipefail
cd "$(dirname "$0")/.."

TESSEL_WINDOWS=0 scripts/setup.sh
scripts/build.sh plain gui_screenshots
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} \
  build/tests/gui/screenshots/gui_screenshots docs/screenshots

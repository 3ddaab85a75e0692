#!/usr/bin/env bash
# Installs what is missing, builds in Release, prepares the application folder (the
# program beside zorbex_be.mdb and zorbex_user.mdb, made with demo content when none
# exist yet) and starts the editor there. Without a display the editor runs under Xvfb:
# a screenshot of its section window is saved to the path printed, and the program ends.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
build=build/release
# ZORBEX_WERROR=ON (as CI sets it) makes the warnings errors; a user's build only shows them.
cmake --preset release -DZORBEX_WERROR="${ZORBEX_WERROR:-OFF}" >/dev/null
# Only the two programs it runs (the preset's targets): the tests are built by test.sh.
cmake --build --preset release -j"$(nproc)"
folder="${ZORBEX_APP_FOLDER:-$PWD/app-folder}"
mkdir -p "$folder"
if [ ! -e "$folder/zorbex_be.mdb" ] && [ ! -e "$folder/zorbex_user.mdb" ]; then
  "$build/tools/zorbex-bank/zorbex-bank" create --demo "$folder"
fi
cp "$build/tools/zorbex-bank/zorbex-bank" "$folder/"
cp "$build/app/zorbex-editor" "$folder/"
echo "Application folder: $folder"
if [ -n "${DISPLAY:-}" ]; then
  exec "$folder/zorbex-editor"
fi
shot="${ZORBEX_SCREENSHOT:-$PWD/build/section-window.png}"
mkdir -p "$(dirname "$shot")"
xvfb-run -a -s "-screen 0 1280x800x24" ./scripts/headless-screenshot.sh "$folder" "$shot"
echo "Screenshot of the section window: $shot"

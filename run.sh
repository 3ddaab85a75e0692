#!/usr/bin/env bash
# Installs what is missing, builds in Release and prepares the application folder
# (the program beside zorbex_be.mdb and zorbex_user.mdb, made with demo content when
# none exist yet).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZORBEX_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
folder="${ZORBEX_APP_FOLDER:-$PWD/app-folder}"
mkdir -p "$folder"
if [ ! -e "$folder/zorbex_be.mdb" ] && [ ! -e "$folder/zorbex_user.mdb" ]; then
  "$build/tools/zorbex-bank/zorbex-bank" create --demo "$folder"
fi
cp "$build/tools/zorbex-bank/zorbex-bank" "$folder/"
echo "Application folder: $folder"

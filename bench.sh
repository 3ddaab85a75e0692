#!/usr/bin/env bash
# Builds the benchmarks in Release and runs them; each prints its figure beside a baseline
# measured in the same run.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
build=build/bench
# ZORBEX_WERROR=ON (as CI sets it) makes the warnings errors; a user's build only shows them.
cmake --preset bench -DZORBEX_WERROR="${ZORBEX_WERROR:-OFF}" >/dev/null
cmake --build --preset bench -j"$(nproc)"
for b in "$build"/bench/*; do
  [ -f "$b" ] && [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" "$@"
done

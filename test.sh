#!/usr/bin/env bash
# Installs what is missing, compiles the Windows platform file and the portable code with the
# MinGW cross compiler, builds with AddressSanitizer and UndefinedBehaviorSanitizer (preset
# "test": the shared corpus required) and runs every test through CTest. Exits non-zero on
# any failure.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
./scripts/check-windows-build.sh
cmake --preset test
cmake --build --preset test -j"$(nproc)"
ctest --preset test -j"$(nproc)"

#!/usr/bin/env bash
# Builds the RTF reader's libFuzzer target with clang (not part of CI) and, with
# "run SECONDS", fuzzes it from a corpus seeded with the project's fixtures and the
# shared RTF corpus. Findings land in build/fuzz/findings/.
#   fuzz/build.sh                 build only
#   fuzz/build.sh run 1800        build, then fuzz for 30 minutes
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/build/fuzz"
mkdir -p "$out/corpus" "$out/findings"
flags=(-std=c++20 -O1 -g -fPIC -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -I"$root/ui" $(pkg-config --cflags Qt6Gui))
clang++ "${flags[@]}" -o "$out/rtf_reader_fuzz" \
  "$root/fuzz/rtf_reader_fuzz.cpp" "$root"/ui/rtf/*.cpp $(pkg-config --libs Qt6Gui)
echo "built $out/rtf_reader_fuzz"

if [ "${1:-}" = run ]; then
  seconds="${2:-1800}"
  seeds=("$root/tests/fixtures/rtf")
  corpus_dir="${ZORBEX_CORPUS_DIR:-$root/../shared/corpus}/rtf"
  [ -d "$corpus_dir" ] && seeds+=("$corpus_dir")
  cd "$out/findings"
  ASAN_OPTIONS=detect_leaks=0 "$out/rtf_reader_fuzz" -max_len=16384 -timeout=10 -rss_limit_mb=2048 \
    -max_total_time="$seconds" -print_final_stats=1 "$out/corpus" "${seeds[@]}"
fi

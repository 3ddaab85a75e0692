#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (not part of CI): the RTF reader and the Jet SQL
# translator. "run SECONDS" fuzzes the RTF reader from a corpus seeded with the project's
# fixtures and the shared RTF corpus; "run-sql SECONDS" fuzzes the translator from the
# statement texts in jet_sql_seeds.txt. Findings land in build/fuzz/findings/.
#   fuzz/build.sh                 build only
#   fuzz/build.sh run 1800        build, then fuzz the RTF reader for 30 minutes
#   fuzz/build.sh run-sql 1800    build, then fuzz the translator for 30 minutes
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/build/fuzz"
mkdir -p "$out/corpus" "$out/findings" "$out/sql-corpus" "$out/sql-seeds"
flags=(-std=c++20 -O1 -g -fPIC -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -I"$root/ui" $(pkg-config --cflags Qt6Gui))
clang++ "${flags[@]}" -o "$out/rtf_reader_fuzz" \
  "$root/fuzz/rtf_reader_fuzz.cpp" "$root"/ui/rtf/*.cpp $(pkg-config --libs Qt6Gui)
echo "built $out/rtf_reader_fuzz"
sqlflags=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
          -DSQLITE_HAS_CODEC -I"$root/store" $(pkg-config --cflags sqlcipher))
clang++ "${sqlflags[@]}" -o "$out/jet_sql_fuzz" \
  "$root/fuzz/jet_sql_fuzz.cpp" "$root"/store/*.cpp $(pkg-config --libs sqlcipher)
echo "built $out/jet_sql_fuzz"

if [ "${1:-}" = run ]; then
  seconds="${2:-1800}"
  seeds=("$root/tests/fixtures/rtf")
  corpus_dir="${ZORBEX_CORPUS_DIR:-$root/../shared/corpus}/rtf"
  [ -d "$corpus_dir" ] && seeds+=("$corpus_dir")
  cd "$out/findings"
  ASAN_OPTIONS=detect_leaks=0 "$out/rtf_reader_fuzz" -max_len=16384 -timeout=10 -rss_limit_mb=2048 \
    -max_total_time="$seconds" -print_final_stats=1 "$out/corpus" "${seeds[@]}"
fi

if [ "${1:-}" = run-sql ]; then
  seconds="${2:-1800}"
  n=0
  while IFS= read -r line; do
    n=$((n + 1))
    printf '%s' "$line" > "$out/sql-seeds/seed$n.sql"
  done < "$root/fuzz/jet_sql_seeds.txt"
  cd "$out/findings"
  ASAN_OPTIONS=detect_leaks=0 "$out/jet_sql_fuzz" -max_len=2048 -timeout=10 -rss_limit_mb=2048 \
    -dict="$root/fuzz/jet_sql.dict" -max_total_time="$seconds" -print_final_stats=1 \
    "$out/sql-corpus" "$out/sql-seeds"
fi

#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (not part of CI): the RTF reader, the Jet SQL
# translator, the Jet file reader and the bank tool's commands on a bank filled with junk. "run SECONDS" fuzzes the RTF reader from a corpus
# seeded with the project's fixtures and the shared RTF corpus; "run-sql SECONDS" fuzzes the
# translator from the statement texts in jet_sql_seeds.txt; "run-jet SECONDS" fuzzes the Jet
# reader from the shared corpus's Jet files. Findings land in build/fuzz/findings/.
#   fuzz/build.sh                 build only
#   fuzz/build.sh run 1800        build, then fuzz the RTF reader for 30 minutes
#   fuzz/build.sh run-sql 1800    build, then fuzz the translator for 30 minutes
#   fuzz/build.sh run-jet 1800    build, then fuzz the Jet reader for 30 minutes
#   fuzz/build.sh run-bank 1800   build, then fuzz the commands on a junk-filled bank for 30 minutes
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/build/fuzz"
mkdir -p "$out/corpus" "$out/findings" "$out/sql-corpus" "$out/sql-seeds" "$out/jet-corpus" "$out/bank-corpus" "$out/obj"
"$root/scripts/install-deps.sh"

# The engine, compiled once with the options the program's build uses (store/engine.defines).
engine_dir="$root/third_party/sqlite3mc"
mapfile -t engine_defines < <(grep -E '^[A-Z]' "$root/store/engine.defines" | sed 's/^/-D/')
engine_obj="$out/obj/sqlite3.o"
if [ ! -f "$engine_obj" ] || [ "$engine_dir/sqlite3.c" -nt "$engine_obj" ] || [ "$root/store/engine.defines" -nt "$engine_obj" ]; then
  clang -O1 -g -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -w "${engine_defines[@]}" \
    -c "$engine_dir/sqlite3.c" -o "$engine_obj"
fi
flags=(-std=c++20 -O1 -g -fPIC -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -I"$root/ui" $(pkg-config --cflags Qt6Gui))
clang++ "${flags[@]}" -o "$out/rtf_reader_fuzz" \
  "$root/fuzz/rtf_reader_fuzz.cpp" "$root"/ui/rtf/*.cpp $(pkg-config --libs Qt6Gui)
echo "built $out/rtf_reader_fuzz"
sqlflags=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
          -I"$root/store/include" -I"$root/store/src" -I"$root/platform" -I"$root/bank" -I"$root/history" -I"$engine_dir"
          $(pkg-config --cflags libpq))
clang++ "${sqlflags[@]}" -o "$out/jet_sql_fuzz" \
  "$root/fuzz/jet_sql_fuzz.cpp" "$root"/store/src/*.cpp "$root"/history/*.cpp "$root"/bank/{kind_registry,schema,server_schema,bank_files,bank_check,server_bank,operation}.cpp "$root"/platform/posix.cpp \
  "$engine_obj" $(pkg-config --libs libpq) -lpthread -lm
echo "built $out/jet_sql_fuzz"
jetflags=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
          -I"$root/jet" -I"$root/store/include" $(pkg-config --cflags libmdb))
clang++ "${jetflags[@]}" -o "$out/jet_reader_fuzz" "$root/fuzz/jet_reader_fuzz.cpp" "$root"/jet/jet_reader.cpp \
  "$root"/jet/jet_values.cpp "$root"/store/src/value.cpp "$root"/store/src/file_kind.cpp $(pkg-config --libs libmdb)
echo "built $out/jet_reader_fuzz"

# The bank tool's commands without its main(), over every library below the windows.
bankflags=(-std=c++20 -O1 -g -fPIC -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
           -I"$root/store/include" -I"$root/store/src" -I"$root/platform" -I"$root/bank" -I"$root/history"
           -I"$root/search" -I"$root/pools" -I"$root/maintenance" -I"$root/jet" -I"$root/ui" -I"$root/tools/zorbex-bank"
           -I"$engine_dir" $(pkg-config --cflags Qt6Gui libpq libmdb))
bank_sources=("$root"/store/src/*.cpp "$root"/bank/*.cpp "$root"/history/*.cpp "$root"/search/*.cpp "$root"/pools/*.cpp
              "$root"/maintenance/*.cpp "$root"/jet/*.cpp "$root"/ui/rtf/*.cpp "$root"/platform/posix.cpp)
for f in "$root"/tools/zorbex-bank/*.cpp; do [ "$(basename "$f")" = main.cpp ] || bank_sources+=("$f"); done
bank_objects=()
for f in "${bank_sources[@]}"; do
  o="$out/obj/$(realpath --relative-to="$root" "$f" | tr / _).o"
  bank_objects+=("$o")
  [ -f "$o" ] && [ "$o" -nt "$f" ] && continue
  rm -f "$o"
  clang++ "${bankflags[@]}" -c "$f" -o "$o" &
  while [ "$(jobs -rp | wc -l)" -ge 2 ]; do wait -n || true; done
done
wait
for o in "${bank_objects[@]}"; do [ -f "$o" ] || { echo "fuzz/build.sh: $o did not compile" >&2; exit 1; }; done
clang++ "${bankflags[@]}" -fsanitize=fuzzer -o "$out/bank_search_fuzz" "$root/fuzz/bank_search_fuzz.cpp" \
  "${bank_objects[@]}" "$engine_obj" $(pkg-config --libs Qt6Gui libpq libmdb) -lpthread -lm
echo "built $out/bank_search_fuzz"

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

if [ "${1:-}" = run-jet ]; then
  seconds="${2:-1800}"
  seeds="${ZORBEX_CORPUS_DIR:-$root/../shared/corpus}/mdb"
  cd "$out/findings"
  # libmdb prints its own complaints about damaged pages; -close_fd_mask keeps them out.
  # -fork=1 -ignore_crashes=1: a finding is saved and the run goes on.
  ASAN_OPTIONS=detect_leaks=0 "$out/jet_reader_fuzz" -fork=1 -ignore_crashes=1 -max_len=393216 -timeout=20 \
    -rss_limit_mb=2048 -close_fd_mask=3 -max_total_time="$seconds" -print_final_stats=1 "$out/jet-corpus" \
    $(find "$seeds" -type d)
fi

if [ "${1:-}" = run-bank ]; then
  seconds="${2:-1800}"
  cd "$out/findings"
  # The commands print their results and complaints; -close_fd_mask=3 keeps them out.
  ASAN_OPTIONS=detect_leaks=0 "$out/bank_search_fuzz" -max_len=512 -len_control=0 -timeout=120 -rss_limit_mb=2048 \
    -close_fd_mask=3 -max_total_time="$seconds" -print_final_stats=1 "$out/bank-corpus"
fi

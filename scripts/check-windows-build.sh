#!/usr/bin/env bash
# Compiles what the Windows build would compile, with Debian's MinGW cross compiler, so that
# the Windows platform file and the portable code stay honest: platform/windows.cpp is
# compiled and linked against a program that calls every platform function; every other
# source file of the layers below the windows is compiled unless it needs Qt, libmdb or libzip (their
# headers are not there for the cross compiler; such files are listed as skipped). The file
# engine (SQLite3 Multiple Ciphers' amalgamation, fetched by install-deps.sh) is compiled for
# Windows with the program's options, and the store's files against its header; libpq's header
# is plain C, the same on every system: the installed one is used. Any other error fails the
# check.
set -euo pipefail
cd "$(dirname "$0")/.."
cxx=x86_64-w64-mingw32-g++-posix
cc=x86_64-w64-mingw32-gcc-posix
if ! command -v "$cxx" >/dev/null; then
  echo "$cxx is missing: install g++-mingw-w64-x86-64-posix (scripts/install-deps.sh)." >&2
  exit 1
fi
flags=(-std=c++20 -Wall -Wextra -Wpedantic -Werror)
engine=third_party/sqlite3mc
if [ ! -f "$engine/sqlite3.c" ]; then
  echo "$engine/sqlite3.c is missing: run scripts/install-deps.sh, which fetches the engine's source." >&2
  exit 1
fi
server="$(pkg-config --variable=includedir libpq)"
# libpq's after the cross compiler's own folders, so that nothing else of the host's is taken.
# The store's private folder only for the store's own files: the layers above see its public side.
includes=(-Iplatform -Istore/include -Ijet -Ibank -Ihistory -Ipools -Imaintenance -Isearch -Iui -Iexchange/qti -Iexchange/print
          -Itools/zorbex-bank -I"$engine" -idirafter "$server")
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT

# The engine, compiled as the program's build compiles it (store/engine.defines).
mapfile -t engine_defines < <(grep -E '^[A-Z]' store/engine.defines | sed 's/^/-D/')
"$cc" -O1 -w "${engine_defines[@]}" -c "$engine/sqlite3.c" -o "$out/sqlite3.o"
echo "$engine/sqlite3.c: compiled"

# The platform file in full: compiled, and linked with a call of each function.
"$cxx" "${flags[@]}" -Iplatform -c platform/windows.cpp -o "$out/windows.o"
cat > "$out/calls.cpp" <<'CPP'
#include "platform.h"
int main() {
  const std::filesystem::path p = "x";
  platform::replaceFile(p, p);
  platform::placeNewFile(p, p);
  platform::syncFile(p);
  bool full = platform::isOutOfSpace(std::error_code());
  auto lock = platform::tryHoldLock(p);
  auto watch = platform::watchTermination([] {});
  return full ? 1 : static_cast<int>(platform::processId());
}
CPP
"$cxx" "${flags[@]}" -Iplatform "$out/calls.cpp" "$out/windows.o" -static -o "$out/calls.exe"
echo "platform/windows.cpp: compiled and linked"

# A missing header of these libraries means the file needs them, not that it is wrong.
needs='fatal error: (mdbtools\.h|glib\.h|iconv\.h|zip\.h|Q[A-Za-z]*): No such file'
compiled=0
skipped=()
failed=0
for f in store/src/*.cpp bank/*.cpp history/*.cpp jet/*.cpp pools/*.cpp maintenance/*.cpp search/*.cpp exchange/*/*.cpp \
  tools/zorbex-bank/*.cpp; do
  own=()
  [[ $f == store/src/* ]] && own=(-Istore/src)
  if log="$("$cxx" "${flags[@]}" "${own[@]}" "${includes[@]}" -fsyntax-only "$f" 2>&1)"; then
    compiled=$((compiled + 1))
  elif grep -Eq "$needs" <<<"$log"; then
    skipped+=("$f ($(grep -Eo "$needs" <<<"$log" | head -1 | sed -E 's/.*error: ([^:]*):.*/\1/'))")
  else
    echo "$log" >&2
    echo "$f: does not compile for Windows" >&2
    failed=1
  fi
done
echo "Compiled for Windows: $compiled files; skipped (they need Qt, libmdb or libzip): ${#skipped[@]}"
for s in "${skipped[@]}"; do echo "  skipped $s"; done
exit "$failed"

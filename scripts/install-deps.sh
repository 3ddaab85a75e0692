#!/usr/bin/env bash
# Installs the Debian packages the project needs, only when one is missing, and fetches the
# database engine's source (SQLite3 Multiple Ciphers, built with the project) into
# third_party/sqlite3mc/, only when it is not there already as checked.
# Works as root, or as a normal user through sudo.
set -euo pipefail
cd "$(dirname "$0")/.."
packages=(
  cmake ninja-build g++ gcc pkg-config
  qt6-base-dev libgl-dev
  sqlcipher openssl
  libpq-dev postgresql
  libzip-dev libxml2-utils poppler-utils
  libmdb3 mdbtools-dev mdbtools
  libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-x86-64-posix
  fonts-noto-cjk fonts-dejavu-core
  xvfb xauth x11-utils imagemagick
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# npm fetches the engine's source; one that came with another Node.js installation serves too.
command -v npm >/dev/null || missing+=(npm)
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The engine: the amalgamation (sqlite3.c, sqlite3.h) of SQLite3 Multiple Ciphers as one npm
# package carries it. The package is checked against its known integrity, the two files against
# their known hashes (scripts/sqlite3mc.sha512, which CMake checks again before compiling them).
engine_package=better-sqlite3-multiple-ciphers@13.0.3
engine_integrity=sha512-UYabM82r1J84TLWc/SszoHs6XopWpl/2HCg3Nui1JUaFXg/VLswzkPowYiRhK/4CftI8dgtikwyZQecMldrGxQ==
engine_dir=third_party/sqlite3mc
engine_sums="$PWD/scripts/sqlite3mc.sha512"
engine_ok() { [ -f "$engine_dir/sqlite3.c" ] && (cd "$engine_dir" && sha512sum --quiet -c "$engine_sums" >/dev/null 2>&1); }
if ! engine_ok; then
  echo "Fetching the database engine's source: $engine_package"
  fetch="$(mktemp -d)"
  trap 'rm -rf "$fetch"' EXIT
  fail() {
    echo "install-deps: $1" >&2
    echo "The engine's source ($engine_package) is needed to build; nothing was put in $engine_dir." >&2
    exit 1
  }
  (cd "$fetch" && npm pack --silent "$engine_package" >/dev/null 2>"$fetch/npm.log") ||
    fail "npm could not fetch the package (see below). Check the network and npm's registry setting, then run scripts/install-deps.sh again.
$(cat "$fetch/npm.log")"
  tarball="$(ls "$fetch"/*.tgz 2>/dev/null | head -1)"
  [ -n "$tarball" ] || fail "npm fetched no package file. Run scripts/install-deps.sh again."
  got="sha512-$(openssl dgst -sha512 -binary "$tarball" | base64 -w0)"
  [ "$got" = "$engine_integrity" ] ||
    fail "the package fetched is not the one expected (integrity $got, expected $engine_integrity). Clear npm's cache ('npm cache clean --force') and run scripts/install-deps.sh again; if it persists, the registry serves a different package."
  tar -xzf "$tarball" -C "$fetch" package/deps/sqlite3/sqlite3.c package/deps/sqlite3/sqlite3.h ||
    fail "the package holds no package/deps/sqlite3/sqlite3.c and sqlite3.h."
  (cd "$fetch/package/deps/sqlite3" && sha512sum --quiet -c "$engine_sums") ||
    fail "the files in the package differ from scripts/sqlite3mc.sha512."
  mkdir -p "$engine_dir"
  cp "$fetch/package/deps/sqlite3/sqlite3.c" "$fetch/package/deps/sqlite3/sqlite3.h" "$engine_dir/"
  engine_ok || fail "the files could not be written to $engine_dir."
  echo "The engine's source is in $engine_dir"
fi

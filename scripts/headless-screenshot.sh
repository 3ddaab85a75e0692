#!/usr/bin/env bash
# Runs inside an X server without a screen of its own (xvfb-run): starts the editor in
# its application folder, waits for the section window, saves a screenshot of it and ends
# the program.
#   headless-screenshot.sh APP_FOLDER PNG_PATH
set -euo pipefail
folder="$1"
shot="$2"
"$folder/zorbex-editor" &
pid=$!
found=""
for _ in $(seq 1 60); do
  if ! kill -0 "$pid" 2>/dev/null; then
    echo "The editor ended before its section window appeared (is another copy running on $folder?)." >&2
    exit 1
  fi
  if xwininfo -name "ZORBEX Editor" >/dev/null 2>&1; then
    found=yes
    break
  fi
  sleep 0.5
done
if [ -z "$found" ]; then
  # Most likely a start-up error box: keep what the screen shows.
  import -window root "$shot"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  echo "The section window did not appear; the screen is saved in $shot" >&2
  exit 1
fi
sleep 1  # let it paint
rm -f "$shot"
want="$(xwininfo -name "ZORBEX Editor" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}')"
import -window "ZORBEX Editor" "$shot"
kill "$pid"
wait "$pid" 2>/dev/null || true
# The file must be a picture of the whole window, not an error page or a part of the screen.
got="$(identify -format '%m %wx%h' "$shot" 2>/dev/null || true)"
if [ "$got" != "PNG $want" ]; then
  echo "The screenshot $shot is not a picture of the section window ($want): ${got:-no image}." >&2
  exit 1
fi

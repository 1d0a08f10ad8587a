#!/usr/bin/env bash
# Sorvanta.exe out of process, copied beside the sample catalogue, on the X server of xvfb-run with
# openbox: its window carries the sample's <title>; closing it through the window manager brings the
# thank-you box, and OK ends the program with status 0.
# Usage: smoke_test.sh SORVANTA_EXE CATALOGUE_DIR
set -euo pipefail
exe=$1
catalogue=$2

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "smoke test: $*" >&2
  exit 1
}

export HOME=$work/home
mkdir -p "$HOME"
cp -r "$catalogue" "$work/catalogo"
cp "$exe" "$work/catalogo/Sorvanta.exe"
title=$(sed -n 's:.*<title>\(.*\)</title>.*:\1:p' "$work/catalogo/index.html" | head -n 1)
[ -n "$title" ] || fail "the sample has no <title>"
# xdotool matches names as regular expressions: match the title exactly.
exact() { printf '^%s$' "$(printf '%s' "$1" | sed 's/[][\.*^$()+?{}|/]/\\&/g')"; }
# The id of the first window named exactly $1, waiting up to $2 seconds. xdotool's --sync blocks
# until there is one, but gives up when a window vanishes while it looks: then it looks again.
find_window() {
  local deadline=$((SECONDS + $2)) id
  while ((SECONDS < deadline)); do
    id=$(timeout $((deadline - SECONDS + 1)) xdotool search --sync --name "$(exact "$1")" 2>/dev/null | head -n 1) || true
    [ -n "$id" ] && echo "$id" && return 0
    sleep 0.1
  done
  return 1
}

# openbox runs its startup command once it manages the screen.
openbox --sm-disable --startup "touch $work/wm-ready" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 1 200); do
  [ -e "$work/wm-ready" ] && break
  sleep 0.05
done
[ -e "$work/wm-ready" ] || fail "openbox did not start"
"$work/catalogo/Sorvanta.exe" &
app=$!
pids+=("$app")

window=$(find_window "$title" 30) || fail "no window titled '$title'"
echo "found window $window titled '$title'"

# Alt+F4 is openbox's Close. A key pressed before the window has the keyboard is lost: try again.
box=
for _ in 1 2 3; do
  timeout 20 xdotool windowactivate --sync "$window" || fail "the window manager did not activate the window"
  xdotool key --clearmodifiers alt+F4
  box=$(find_window "Veltrano S.r.l." 5) && break
done
[ -n "$box" ] || fail "closing the catalogue showed no thank-you box"
echo "found the thank-you box $box"
timeout 20 xdotool windowactivate --sync "$box" || fail "the thank-you box could not be activated"
xdotool key --clearmodifiers Return

status=0
timeout 20 tail --pid="$app" -f /dev/null || fail "Sorvanta did not end after OK"
wait "$app" || status=$?
[ "$status" -eq 0 ] || fail "Sorvanta ended with status $status"
echo "Sorvanta ended with status 0"

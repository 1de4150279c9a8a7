#!/usr/bin/env bash
# The real plivora under Xvfb, driven like a user with xdotool: import three
# views through the file dialog, set the width, export through the save
# dialog, quit; then start again on the saved settings and do it once more.
# Checks the output against plivora-interlace and the settings file's bytes.
#
#   end_to_end.sh PLIVORA PLIVORA_INTERLACE PLIVORA_SAMPLE_VIEWS
set -euo pipefail

if [ "${1:-}" = "--session" ]; then
  shift
  session=1
else
  session=0
fi
plivora=$1 interlace=$2 samples=$3

fail() { echo "end_to_end: $*" >&2; exit 1; }

# Waits up to 20 s for a visible window whose title matches; prints its id.
wait_window() {
  timeout 20 xdotool search --sync --onlyvisible --name "$1" | head -n 1 || fail "no window \"$1\""
}

# Waits up to 20 s until no visible window's title matches.
wait_gone() {
  for _ in $(seq 200); do
    xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  fail "window \"$1\" did not close"
}

wait_file() {
  for _ in $(seq 300); do
    [ -s "$1" ] && return 0
    sleep 0.1
  done
  fail "no file $1"
}

# Clicks at (x, y) inside window $1.
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; }

# One run of the program: import, optionally type a width, export to $1.
run_once() {
  local output=$1 width=${2:-}
  (cd "$WORK/views" && exec "$WORK/bin/plivora") >>"$WORK/log" 2>&1 &
  local pid=$!
  local main
  main=$(wait_window '^Plivora 13\.4$')

  click "$main" 368 40  # Import
  local dialog
  dialog=$(wait_window '^Open$')
  xdotool windowfocus --sync "$dialog"
  xdotool type --delay 20 '"view03.tif" "view01.tif" "view02.tif"'
  xdotool key Return
  wait_gone '^Open$'

  if [ -n "$width" ]; then
    xdotool windowfocus --sync "$main"
    click "$main" 120 78  # the width field
    xdotool key ctrl+a
    xdotool type --delay 20 "$width"
  fi

  click "$main" 490 39  # Export
  dialog=$(wait_window '^Save as tiff$')
  xdotool windowfocus --sync "$dialog"
  xdotool key ctrl+a
  xdotool type --delay 10 "$output"
  xdotool key Return
  wait_gone '^Save as tiff$'
  wait_file "$output"

  xdotool windowfocus --sync "$main"
  xdotool key ctrl+q
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    kill "$pid"
    fail "the program did not end after ctrl+q"
  fi
  wait "$pid" || fail "the program ended with status $?"
}

if [ "$session" = 1 ]; then
  run_once "$WORK/out/first.tif" 3
  [ -f "$WORK/bin/vexo/plivora133.yb13" ] || fail "no settings file after the first run"
  printf '4000\r\n75.5555555555555\r\n3\r\n10\r\n0.5\r\n0.5\r\n0.5\r\n0\r\n\r\n0\r\n' |
    cmp - "$WORK/bin/vexo/plivora133.yb13" || fail "settings file differs"
  run_once "$WORK/out/second.tif"  # the width comes back from the settings
  exit 0
fi

command -v xvfb-run >/dev/null && command -v xdotool >/dev/null ||
  fail "needs xvfb-run and xdotool (scripts/install-deps.sh installs them)"
WORK=$(mktemp -d)
export WORK
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/bin" "$WORK/views" "$WORK/out"
cp "$plivora" "$WORK/bin/plivora"  # settings land beside this copy
"$samples" --views 3 --size 60x90 "$WORK/views" >/dev/null

timeout 150 xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" --session "$plivora" "$interlace" "$samples" ||
  { cat "$WORK/log" >&2; fail "the session failed"; }

# The window's image rows are the command line's for the same inputs; only
# the caption strip (date, time, path) under them differs.
"$interlace" --quiet --width 3 -o "$WORK/out/cli.tif" "$WORK"/views/view0{1,2,3}.tif
/usr/bin/python3 - "$WORK/out" <<'PY' || fail "output differs from plivora-interlace"
import sys
from PIL import Image
out = sys.argv[1]
cli = Image.open(out + "/cli.tif")
w, h = cli.size
strip = 80  # 0.2 inch at 4000 / 10 dpi
for name in ("first.tif", "second.tif"):
    im = Image.open(out + "/" + name)
    assert im.size == (w, h), (name, im.size, (w, h))
    assert im.mode == cli.mode, (name, im.mode)
    assert im.crop((0, 0, w, h - strip)).tobytes() == cli.crop((0, 0, w, h - strip)).tobytes(), name
print("end_to_end: %d x %d output, image rows identical to plivora-interlace" % (w, h))
PY

#!/usr/bin/env bash
# The real plivora under Xvfb, driven like a user with xdotool: import three
# views through the file dialog, play the preview and stop it, set the width,
# export through the save dialog, quit; then start again on the saved
# settings and do it once more, stopping the preview with Preview and
# quitting while a second one plays. Checks the output against
# plivora-interlace, the settings file's bytes, and screenshots of the
# preview (moving while it plays, still once stopped). First of all, a
# window killed by SIGTERM during an export must leave nothing behind.
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

# Imports the views named by $2 (the file dialog's text) into window $1.
import_views() {
  click "$1" 368 40  # Import
  local dialog
  # Qt's file dialog, titled in the caption language (the window starts in Chinese)
  dialog=$(wait_window '^(Open|打开)$')
  xdotool windowfocus --sync "$dialog"
  xdotool type --delay 20 "$2"
  xdotool key Return
  wait_gone '^(Open|打开)$'
}

# Types $2 into the width field of window $1.
type_width() {
  xdotool windowfocus --sync "$1"
  click "$1" 120 78  # the width field
  xdotool key ctrl+a
  xdotool type --delay 20 "$2"
}

# Exports window $1 through the save dialog to $2 (returns once the dialog
# has taken the name).
export_to() {
  click "$1" 490 39  # Export
  local dialog
  dialog=$(wait_window '^Save as tiff$')
  xdotool windowfocus --sync "$dialog"
  xdotool key ctrl+a
  xdotool type --delay 10 "$2"
  xdotool key Return
}

# Plays the preview of window $1 and stops it with $2 ("stop": the stop
# button, "preview": Preview again). While it plays, the picture area must
# change between screenshots; once stopped, it must stand still.
preview() {
  local main=$1 how=$2 shots="$WORK/shots/$2"
  mkdir -p "$shots"
  click "$main" 429 39  # Preview
  sleep 0.3
  for i in 1 2 3 4 5; do
    import -window "$main" "$shots/play$i.png"
    sleep 0.12
  done
  if [ "$how" = stop ]; then
    click "$main" 656 165  # the stop button, stepping 2 pixels a view
  else
    click "$main" 429 39
  fi
  sleep 0.4
  import -window "$main" "$shots/still1.png"
  sleep 0.3
  import -window "$main" "$shots/still2.png"
  /usr/bin/python3 - "$shots" <<'PY' || fail "preview stopped by $how did not play and stop"
import sys
from PIL import Image
d = sys.argv[1]
box = (560, 190, 860, 420)  # inside the picture box, below the stop button
crop = lambda name, at=box: Image.open(d + "/" + name).convert("RGB").crop(at).tobytes()
playing = {crop("play%d.png" % i) for i in range(1, 6)}
assert len(playing) >= 2, "the picture did not change while playing"
stop = (630, 158, 685, 172)  # the stop button's face while it plays; the picture once it is hidden
assert all(crop("play%d.png" % i, stop) != crop("still1.png", stop) for i in range(1, 6)), "no stop button while playing"
assert crop("still1.png") == crop("still2.png"), "the picture still changes after the stop"
PY
}

# One run of the program: import, play the preview and stop it with $3,
# optionally type a width, export to $1; with $4 = 1 quit while a preview
# plays.
run_once() {
  local output=$1 width=${2:-} how=${3:-stop} quit_playing=${4:-0}
  (cd "$WORK/views" && exec "$WORK/bin/plivora") >>"$WORK/log" 2>&1 &
  local pid=$!
  local main
  main=$(wait_window '^Plivora 13\.4$')

  import_views "$main" '"view03.tif" "view01.tif" "view02.tif"'
  preview "$main" "$how"
  [ -z "$width" ] || type_width "$main" "$width"
  export_to "$main" "$output"
  wait_gone '^Save as tiff$'
  wait_file "$output"

  xdotool windowfocus --sync "$main"
  if [ "$quit_playing" = 1 ]; then
    click "$main" 429 39  # Preview, then quit while it plays
    sleep 0.5
  fi
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

# Killed by SIGTERM during a long export, the window leaves no temporary file
# (the named one, which the kernel would not remove by itself) and ends by
# that signal.
run_killed() {
  local output="$WORK/killed/plate.tif"
  mkdir -p "$WORK/killed"
  # The views come from the command line, as "Open with" gives them.
  (cd "$WORK/views" && PLIVORA_NO_O_TMPFILE=1 exec "$WORK/bin/plivora" view01.tif view02.tif) >>"$WORK/log" 2>&1 &
  local pid=$!
  local main
  main=$(wait_window '^Plivora 13\.4$')
  type_width "$main" 25  # 25 cm: some 900 MB
  export_to "$main" "$output"
  for _ in $(seq 300); do
    compgen -G "$WORK/killed/.plate.tif.*" >/dev/null && break
    sleep 0.05
  done
  compgen -G "$WORK/killed/.plate.tif.*" >/dev/null || fail "the export did not start"
  kill -TERM "$pid"
  local status=0
  wait "$pid" || status=$?
  [ "$status" = 143 ] || fail "killed during the export, the program ended with status $status, not 143"
  [ -z "$(ls -A "$WORK/killed")" ] || fail "killed during the export, it left: $(ls -A "$WORK/killed")"
}

if [ "$session" = 1 ]; then
  run_killed
  run_once "$WORK/out/first.tif" 3
  [ -f "$WORK/bin/vexo/plivora133.yb13" ] || fail "no settings file after the first run"
  printf '4000\r\n75.5555555555555\r\n3\r\n10\r\n0.5\r\n0.5\r\n0.5\r\n0\r\n\r\n0\r\n' |
    cmp - "$WORK/bin/vexo/plivora133.yb13" || fail "settings file differs"
  run_once "$WORK/out/second.tif" "" preview 1  # the width comes back from the settings
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

# Sourced by the screenshot scripts: a private X server and a throw-away home for one korvane run.
#   xvfb_session BASE   starts Xvfb on a display in BASE..BASE+8 (scripts that may run at the
#                       same time use different bases), sets $work (a temporary folder removed
#                       at exit), DISPLAY, HOME and XDG_CONFIG_HOME inside it, and a trap that
#                       kills $program (set it to korvane's pid) and the server at exit.
xvfb_session() {
  work=$(mktemp -d)
  display=:$(($1 + RANDOM % 9))
  Xvfb "$display" -screen 0 1280x860x24 >"$work/xvfb.log" 2>&1 &
  xvfb=$!
  program=
  trap xvfb_session_cleanup EXIT
  export DISPLAY=$display HOME=$work/home XDG_CONFIG_HOME=$work/home/.config
  mkdir -p "$HOME"
}

xvfb_session_cleanup() {
  [ -n "$program" ] && kill "$program" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}

# shot_needs NAME BUILD TOOL...: stops the script (exit 2) when a tool or the program is missing.
shot_needs() {
  local name=$1 build=$2 tool
  shift 2
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "$name: $tool is missing" >&2; exit 2; }
  done
  [ -x "$build/bin/korvane" ] || { echo "$name: no $build/bin/korvane; build first" >&2; exit 2; }
}

# korvane_window BUILD [ARG...]: starts korvane with the arguments inside the session ($program
# its pid, its output in $work/korvane.log), waits for its window ($window), puts it at the top
# left at 1280x860, sets WIDTH and HEIGHT to its size and gives it the focus.
korvane_window() {
  local build=$1
  shift
  sleep 1
  "$build/bin/korvane" "$@" >"$work/korvane.log" 2>&1 &
  program=$!
  sleep 4
  window=$(xdotool search --sync --onlyvisible --pid "$program" | head -1)
  xdotool windowmove "$window" 0 0 windowsize "$window" 1280 860
  sleep 2
  eval "$(xdotool getwindowgeometry --shell "$window")"
  xdotool windowfocus "$window" || true
}

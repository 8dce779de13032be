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

#!/usr/bin/env bash
# Starts the real program under Xvfb on two workspaces (written by speed_shot_workspace), runs
# Match All from the Match menu in each and saves the window with Match All's message:
#   docs/speed-email.png  the e-mail pattern on 3 MB of text with addresses
#   docs/speed-fail.png   (a|b)*c on 1 MB of "abab...": no match
# The figures are the program's own: the message box's total elapsed time and steps, and the
# status bar's. Needs Xvfb, xdotool and ImageMagick:
#   apt-get install xvfb xdotool imagemagick
#   app/ui/tools/speed_shots.sh [BUILD_DIR] [OUTPUT_DIR]
# The settings go to a temporary home, so a developer's own layout is not used.
set -euo pipefail
cd "$(dirname "$0")/../../.."
build=${1:-build}
outdir=${2:-docs}
. app/ui/tools/xvfb_session.sh
shot_needs speed_shots "$build" Xvfb xdotool /usr/bin/convert /usr/bin/import
ninja -C "$build" speed_shot_workspace >/dev/null

shoot() {
  local kind=$1 out=$2
  "$build/bin/speed_shot_workspace" "$kind" "$work/$kind.rws"
  korvane_window "$build" "$work/$kind.rws"
  # The second window may come up before the first one's settings let go: size it again, and
  # click into the pattern box so that the keys go to the window.
  xdotool windowmove "$window" 0 0 windowsize "$window" 1280 860
  sleep 1
  eval "$(xdotool getwindowgeometry --shell "$window")"
  xdotool mousemove 640 150 click 1
  sleep 0.5
  # Match > Match All; its message box comes up over the window when the search has ended.
  xdotool key alt+m
  sleep 0.5
  xdotool key a
  sleep 3
  /usr/bin/import -window root "$work/full.png"
  /usr/bin/convert "$work/full.png" -crop "${WIDTH}x${HEIGHT}+0+0" +repage "$out"
  echo "speed_shots: wrote $out"
  kill "$program" 2>/dev/null || true
  wait "$program" 2>/dev/null || true
  program=
}

xvfb_session 70
shoot email "$outdir/speed-email.png"
shoot fail "$outdir/speed-fail.png"

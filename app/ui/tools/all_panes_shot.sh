#!/usr/bin/env bash
# Pictures of the frame's docking panes, for comparing two builds pixel for pixel after a change
# to how the frame makes and places its panes (app/ui/frame/pane_table.cpp). Starts the real program
# under Xvfb with a fresh home and saves into OUTDIR:
#   default.png     the window as it starts (the built-in layout of Match mode);
#   view-menu.png   the View menu open (the panes' entries, their order and check marks);
#   all-panes.png   every pane the View menu lists shown (Stack, Explanation, Diagram and
#                   Backtracking added to the default ones; the last one shown is in front);
#   trace-mode.png  after View > Reset All Bars, Trace mode's built-in layout (the Stack pane);
#   settings.conf   the settings the program wrote when it was closed from File > Exit (the
#                   saved docking state of the layout on screen).
# Needs Xvfb, xdotool and ImageMagick:
#   apt-get install xvfb xdotool imagemagick
#   app/ui/tools/all_panes_shot.sh [BUILD_DIR] [OUTDIR]
# Then, for two folders: compare -metric AE A/all-panes.png B/all-panes.png diff.png
set -euo pipefail
cd "$(dirname "$0")/../../.."
build=${1:-build}
outdir=${2:-all-panes-shots}
mkdir -p "$outdir"
outdir=$(cd "$outdir" && pwd)

. app/ui/tools/xvfb_session.sh
shot_needs all_panes_shot "$build" Xvfb xdotool /usr/bin/convert /usr/bin/import
xvfb_session 70
korvane_window "$build"

shot() {
  /usr/bin/import -window root "$work/full.png"
  /usr/bin/convert "$work/full.png" -crop "${WIDTH}x${HEIGHT}+0+0" +repage "$outdir/$1"
}

# The mouse away from every control, so that no hover look differs between the runs.
xdotool mousemove 1270 850
sleep 1
shot default.png

xdotool key alt+v
sleep 1
shot view-menu.png
xdotool key Escape Escape
sleep 0.5

# View > Stack, Explanation, Diagram, Backtracking ("b" also reaches Match Buttons: the first
# press selects, Return opens).
xdotool key alt+v a
sleep 1
xdotool key alt+v x
sleep 1
xdotool key alt+v d
sleep 1
xdotool key alt+v b Return
# The Backtracking pane analyses the (empty) pattern on its worker first.
sleep 4
xdotool mousemove 1270 850
sleep 1
shot all-panes.png

xdotool key alt+v r
sleep 1
xdotool key alt+o t
sleep 2
# The focus from the pattern box to the Structure tree's only row: no blinking caret in the picture.
xdotool mousemove 48 133 click 1
sleep 0.5
xdotool mousemove 1270 850
sleep 1
shot trace-mode.png

# File > Exit: the layout on screen is saved as the program closes.
xdotool key alt+f x
for _ in $(seq 1 50); do
  kill -0 "$program" 2>/dev/null || break
  sleep 0.2
done
if [ -d "$XDG_CONFIG_HOME/Korvane" ]; then
  cat "$XDG_CONFIG_HOME"/Korvane/*.conf >"$outdir/settings.conf"
fi
echo "all_panes_shot: wrote $outdir"

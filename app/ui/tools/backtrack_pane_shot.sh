#!/usr/bin/env bash
# Starts the real program under Xvfb, types a pattern that backtracks exponentially, opens
# View > Backtracking, loads the witness into the text box and saves the window as
# docs/screenshot-backtracking.png: the verdict, the repeats responsible (marked in the pattern
# box and the Structure tree), the witness, the proven fixes and the chart of steps against n. Needs Xvfb, xdotool and ImageMagick:
#   apt-get install xvfb xdotool imagemagick
#   app/ui/tools/backtrack_pane_shot.sh [BUILD_DIR] [OUTPUT]
# The settings go to a temporary home, so a developer's own layout is not used.
set -euo pipefail
cd "$(dirname "$0")/../../.."
build=${1:-build}
out=${2:-docs/screenshot-backtracking.png}
for tool in Xvfb xdotool /usr/bin/convert /usr/bin/import; do
  command -v "$tool" >/dev/null || { echo "backtrack_pane_shot: $tool is missing" >&2; exit 2; }
done
[ -x "$build/bin/korvane" ] || { echo "backtrack_pane_shot: no $build/bin/korvane; build first" >&2; exit 2; }

. app/ui/tools/xvfb_session.sh
xvfb_session 90
"$build/bin/korvane" >"$work/korvane.log" 2>&1 &
program=$!
sleep 4
window=$(xdotool search --sync --onlyvisible --pid "$program" | head -1)
xdotool windowmove "$window" 0 0 windowsize "$window" 1280 860
sleep 2
geometry=$(xdotool getwindowgeometry --shell "$window")
eval "$geometry"
xdotool windowfocus "$window" || true

# The pattern box is below the tool bars, right of the Structure bar.
xdotool mousemove "$((WIDTH / 2))" 135 click 1
sleep 0.3
xdotool type --delay 40 '^(\w+\s?)*$'
sleep 1
# View > Backtracking, the tenth item of the menu.
xdotool key alt+v
sleep 0.5
xdotool mousemove 145 229 click 1
sleep 6
[ -n "${PROBE:-}" ] && /usr/bin/import -window root "$PROBE"
# The pane opens as a tab beside Tests at the bottom, in front, with the proven fixes under the
# witness. Its button loads the witness, pumped 20 times, into the text box.
xdotool mousemove 476 "$((HEIGHT - 395))" click 1
sleep 2
xdotool mousemove "$((WIDTH / 2))" 400
sleep 0.5
/usr/bin/import -window root "$work/full.png"
/usr/bin/convert "$work/full.png" -crop "${WIDTH}x${HEIGHT}+0+0" +repage "$out"
echo "backtrack_pane_shot: wrote $out"

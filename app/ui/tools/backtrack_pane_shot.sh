#!/usr/bin/env bash
# Starts the real program under Xvfb, types a pattern with two repeats in sequence that read the
# same digits, opens View > Backtracking, loads the witness into the text box and saves the
# window as docs/screenshot-backtracking.png: the verdict, the repeats responsible with their
# positions (marked in the pattern box and the Structure tree), the witness, the proven fix, the
# rewrite that changes the meaning with the text where it does, and the chart of steps against n.
# Needs Xvfb, xdotool and ImageMagick:
#   apt-get install xvfb xdotool imagemagick
#   app/ui/tools/backtrack_pane_shot.sh [BUILD_DIR] [OUTPUT]
# KORVANE_PALETTE=dark takes the picture in the dark palette. The settings go to a temporary
# home, so a developer's own layout is not used.
set -euo pipefail
cd "$(dirname "$0")/../../.."
build=${1:-build}
out=${2:-docs/screenshot-backtracking.png}

. app/ui/tools/xvfb_session.sh
shot_needs backtrack_pane_shot "$build" Xvfb xdotool /usr/bin/convert /usr/bin/import
xvfb_session 90
korvane_window "$build"

# A click into the pattern box, then the pattern.
xdotool mousemove 640 150 click 1
sleep 0.5
xdotool type --delay 40 '\d+\d+x'
sleep 1
# View > Backtracking ("b" also reaches Match Buttons: the first press selects, Return opens).
xdotool key alt+v b Return
sleep 6
[ -n "${PROBE:-}" ] && /usr/bin/import -window root "$PROBE"
# The pane opens as a tab beside Tests at the bottom, in front. Its button loads the witness,
# pumped 20 times, into the text box.
xdotool mousemove 476 "$((HEIGHT - 129))" click 1
sleep 2
xdotool mousemove 640 120
sleep 0.5
/usr/bin/import -window root "$work/full.png"
/usr/bin/convert "$work/full.png" -crop "${WIDTH}x${HEIGHT}+0+0" +repage "$out"
echo "backtrack_pane_shot: wrote $out"

#!/usr/bin/env bash
# Takes the README's pictures of the main window in a dark palette (and, for comparison, the
# light one): Match mode after Find All and Optimize mode with the heat map. Each run starts the
# picture tool under Xvfb with the Fusion style and KORVANE_PALETTE, the same switch the program
# itself honours. Needs xvfb-run (apt-get install xvfb).
#   app/ui/tools/palette_shots.sh [BUILD_DIR] [OUTPUT_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/../../.."
build=${1:-build}
out=${2:-docs}
command -v xvfb-run >/dev/null || { echo "palette_shots: xvfb-run is missing" >&2; exit 2; }
ninja -C "$build" -j2 palette_shots >/dev/null
mkdir -p "$out"
for palette in dark light; do
  KORVANE_PALETTE=$palette xvfb-run -a -s "-screen 0 1280x800x24" \
    "$build/bin/palette_shots" -style Fusion "$out"
done

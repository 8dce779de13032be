#!/usr/bin/env bash
# Renders the application icon from its SVG source into the PNG sizes of the hicolor theme
# (org.korvane.Korvane-N.png). Run it after changing the SVG; needs rsvg-convert (Debian package
# librsvg2-bin). The PNGs are committed, so that building and installing need no SVG renderer.
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" org.korvane.Korvane.svg -o "org.korvane.Korvane-$size.png"
done

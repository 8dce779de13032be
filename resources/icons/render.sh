#!/usr/bin/env bash
# Renders every tool-bar icon from its SVG source into the PNGs that the resource also carries:
# NAME.png (16x15) and NAME@2x.png (32x30). Run it after changing an SVG; needs rsvg-convert
# (Debian package librsvg2-bin). The PNGs let the tool bar show icons where Qt's SVG plugin
# (libqt6svg6) is not installed.
set -euo pipefail
cd "$(dirname "$0")"
for svg in *.svg; do
  name=${svg%.svg}
  rsvg-convert -w 16 -h 15 "$svg" -o "$name.png"
  rsvg-convert -w 32 -h 30 "$svg" -o "$name@2x.png"
done

#!/bin/sh
# Regenerates the PNG and JPEG pictures from the SVG sources next to this
# script. Needs rsvg-convert (librsvg2-bin), convert (imagemagick) and the
# DejaVu Sans font (fonts-dejavu-core) for the name in about.jpg.
set -eu
cd "$(dirname "$0")"
mkdir -p icons

render() { # render SOURCE.svg SIZE OUTPUT.png
    rsvg-convert -w "$2" -h "$2" "$1" -o "$3"
}

# The 16 px icon has its own drawing: the big one turns to mush that small.
render horvex-16.svg 16 icons/horvex-16.png
for size in 24 32 48 64 128 256; do
    render horvex.svg "$size" "icons/horvex-$size.png"
done

# The calendar window has its own menu entry and icon; small sizes stay
# legible enough from the one drawing.
for size in 16 24 32 48 64 128 256; do
    render calendario.svg "$size" "icons/calendario-$size.png"
done

for name in opciones grabar acerca salir puerto; do
    render "$name.svg" 24 "icons/$name-24.png"
    render "$name.svg" 48 "icons/$name-48.png"
done

# JPEG has no alpha: flatten onto white, drop metadata so reruns are stable.
rsvg-convert -w 250 -h 148 about.svg | convert png:- -background white -alpha remove -strip -quality 90 about.jpg

#!/usr/bin/env bash
# Makes the transparent fixtures of this folder with ImageMagick (no outside material): a 48x32
# picture of an opaque red disc on a fully transparent background whose hidden colour is pure green,
# in every layout that holds transparency (the red reaches past the soft edge, so every pixel that
# shows is red). Usage: make-alpha.sh [OUTDIR]
set -eu
out=${1:-$(dirname "$0")}
C=/usr/bin/convert
disc=(-size 48x32 xc:'#00ff00' +antialias -fill red -draw 'rectangle 8,0 40,31' -antialias
      \( -size 48x32 xc:black -fill white -draw 'circle 24,16 24,5' \) -alpha off)
# Straight RGBA with a soft edge, and grey with alpha.
$C "${disc[@]}" \( +clone -blur 0x1.2 \) -delete 1 -compose CopyOpacity -composite -depth 8 -strip "PNG32:$out/rgba.png"
$C "${disc[@]}" -compose CopyOpacity -composite -depth 8 -strip -colorspace gray -define png:color-type=4 "$out/grey-alpha.png"
# A palette PNG with a transparent entry, and a GIF with a transparent colour (hard edges).
$C "${disc[@]}" -compose CopyOpacity -composite -strip "PNG8:$out/palette-trns.png"
$C "${disc[@]}" -compose CopyOpacity -composite -strip "$out/transparent.gif"
# TIFF with associated (premultiplied) alpha, and a 32-bit BMP with an alpha mask.
$C "$out/rgba.png" -define tiff:alpha=associated -compress lzw "$out/associated-alpha.tif"
$C "$out/rgba.png" -define bmp:format=bmp4 "$out/alpha-mask.bmp"

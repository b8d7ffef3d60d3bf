#!/bin/sh
# Draws the demo feed's sample memes with ImageMagick. The pictures are committed, so this only
# runs when someone wants to change them; building and running the demo never needs ImageMagick.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
font="$here/../../fonts/Montserrat-Regular.ttf"
cd "$here"

caption() { # caption <top text> <bottom text> <file>: the picture on stdin, captioned meme style
    # Drawn at 600x450 and shrunk so that a whole card, buttons included, fits the window's
    # 540-high page on the first screen. The outline goes first and the white letters over it,
    # so that thin letters stay white.
    convert - -font "$font" -pointsize 44 -fill black -stroke black -strokewidth 6 \
        -gravity north -annotate +0+18 "$1" -gravity south -annotate +0+18 "$2" \
        -fill white -stroke none \
        -gravity north -annotate +0+18 "$1" -gravity south -annotate +0+18 "$2" \
        -resize 432x324 -depth 8 "$3"
}

# A trophy for code that compiled at once.
convert -size 600x450 gradient:'#26a69a'-'#004d40' \
    -fill '#ffca28' -stroke '#8d6e00' -strokewidth 4 \
    -draw 'roundrectangle 230,140 370,270 30,30' -draw 'rectangle 285,270 315,320' \
    -draw 'rectangle 240,320 360,345' -fill none -draw 'arc 190,160 250,230 90,270' \
    -draw 'arc 350,160 410,230 270,90' \
    png:- | caption 'IT COMPILED' 'on the first try' compiled.png

# Two buttons, one sweating face.
convert -size 600x450 xc:'#eceff1' \
    -fill '#e53935' -stroke '#7f0000' -strokewidth 4 \
    -draw 'roundrectangle 90,110 270,190 20,20' -draw 'roundrectangle 330,110 510,190 20,20' \
    -fill white -stroke none -font "$font" -pointsize 28 \
    -annotate +120+162 'tests' -annotate +370+162 'ship it' \
    -fill '#ffcc80' -stroke '#5d4037' -strokewidth 3 -draw 'circle 300,300 300,365' \
    -fill '#5d4037' -draw 'circle 275,285 275,293' -draw 'circle 325,285 325,293' \
    -fill none -draw 'arc 270,310 330,350 200,340' \
    -fill '#4fc3f7' -stroke '#0277bd' -draw 'circle 360,262 360,274' \
    png:- | caption 'FRIDAY, 5 PM' 'choose wisely' buttons.png

# A rubber duck at night.
convert -size 600x450 gradient:'#1a237e'-'#000000' \
    -fill '#fff59d' -stroke none -draw 'circle 500,80 500,120' \
    -fill '#fdd835' -stroke '#f57f17' -strokewidth 4 \
    -draw 'ellipse 300,300 150,85 0,360' -draw 'circle 360,200 360,265' \
    -fill '#fb8c00' -draw 'ellipse 430,215 45,18 0,360' \
    -fill black -stroke none -draw 'circle 375,185 375,195' \
    png:- | caption '3 AM DEBUGGING' 'he knows' duck.jpg

# Coffee for Monday.
convert -size 600x450 xc:'#d7ccc8' \
    -fill white -stroke '#4e342e' -strokewidth 6 \
    -draw 'roundrectangle 200,150 380,340 20,20' -fill none -draw 'arc 350,190 440,290 270,90' \
    -fill '#6d4c41' -stroke none -draw 'rectangle 206,160 374,200' \
    -stroke '#8d6e63' -strokewidth 4 -fill none \
    -draw 'bezier 250,130 270,100 230,80 250,50' -draw 'bezier 320,130 340,100 300,80 320,50' \
    png:- | caption 'MONDAY.EXE' 'has stopped working' coffee.jpg

# A free RAM upgrade: an animated progress bar.
frames=""
for step in 1 2 3 4 5 6; do
    width=$((step * 70))
        convert -size 600x450 xc:'#263238' \
        -fill none -stroke '#80cbc4' -strokewidth 4 -draw 'roundrectangle 80,195 520,255 12,12' \
        -fill '#26a69a' -stroke none -draw "roundrectangle 88,203 $((88 + width)),247 8,8" \
        -fill white -font "$font" -pointsize 26 -gravity center -annotate +0+70 "$((step * 16))%" \
        png:- | caption 'FREE RAM UPGRADE' 'any minute now' "frame$step.gif"
    frames="$frames frame$step.gif"
done
# shellcheck disable=SC2086
convert -delay 40 -loop 0 $frames -layers Optimize ram.gif
# shellcheck disable=SC2086
rm -f $frames

# A small picture, narrower than any card: shown at its own size.
convert -size 300x220 xc:'#ffe082' \
    -fill '#6d4c41' -stroke none -draw 'circle 150,110 150,150' \
    -fill white -draw 'circle 135,100 135,108' -draw 'circle 165,100 165,108' \
    -font "$font" -fill '#3e2723' -pointsize 22 -gravity south -annotate +0+12 'tiny but mighty' -depth 8 cookie.png

# A gallery of three: how a feature gets done, one step per picture.
step=1
for words in 'write the code' 'delete the code' 'it works now'; do
    convert -size 600x450 gradient:'#fff8e1'-'#ffe0b2' \
        -fill '#26a69a' -stroke '#004d40' -strokewidth 4 -draw "circle 300,230 300,$((230 - 40 * step))" \
        -fill white -stroke none -font "$font" -pointsize 90 -gravity center -annotate +0+0 "$step" \
        png:- | caption "STEP $step" "$words" "gallery$step.png"
    step=$((step + 1))
done

# The NSFW post: a pepper too hot for the office, shown blurred until clicked.
convert -size 600x450 xc:'#fbe9e7' \
    -fill '#d32f2f' -stroke '#7f0000' -strokewidth 4 -draw 'ellipse 290,250 150,55 0,360' \
    -fill '#388e3c' -stroke '#1b5e20' -draw 'roundrectangle 420,140 460,220 10,10' \
    -fill '#ff8a65' -stroke none -draw 'ellipse 250,225 70,12 0,360' \
    png:- | caption 'TOO SPICY' 'not safe for work' spicy.jpg

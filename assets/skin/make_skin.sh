#!/usr/bin/env bash
# Draws the installer's skin pictures with ImageMagick 6 and writes them next
# to this script:
#   install_normal.jpg, install_hover.jpg  220 x 80  安装 on teal / grey-blue
#   done.jpg                               220 x 80  完成 on teal
#   close_normal.jpg, close_hover.jpg,
#   close_pressed.jpg                      27 x 22   white x on light blue /
#                                                    red-orange / dark red
#   logo_flame.jpg                         424 x 534 white flame on blue
#   logo_reflect.jpg                       250 x 256 white flame and its
#                                                    reflection on light blue
#   icon48.ico                             one 48 x 48 32-bit BMP entry
#
# The output is byte-for-byte reproducible: JPEGs are baseline, 24-bit,
# quality 90, 4:4:4 sampling, stripped of metadata (no dates, no profiles);
# everything is drawn in memory, single-threaded.
#
# Needs `convert` and the WenQuanYi Zen Hei font (Debian: imagemagick,
# fonts-wqy-zenhei). SKIN_FONT overrides the font file.
set -euo pipefail
cd "$(dirname "$0")"

export MAGICK_THREAD_LIMIT=1

font=${SKIN_FONT:-/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc}
if [ ! -f "$font" ]; then
  echo "make_skin.sh: font $font not found (install fonts-wqy-zenhei or set SKIN_FONT)" >&2
  exit 1
fi

# Page colours of the window: the button pictures fill their corners with the
# colour of the page they sit on, so the rounded face blends in.
page1='rgb(22,131,196)'
page23='rgb(117,184,238)'

jpegOut=(-strip -type TrueColor -interlace none -sampling-factor 1x1 -quality 90)

# The flame outline in a 424 x 534 box: an outer tongue with a smaller one
# to its left, and a drop-shaped hole with a small core inside.
flameOuter="M 222,34 C 246,112 334,170 354,272 C 374,374 318,490 212,496
  C 104,496 50,392 72,294 C 86,230 124,196 134,128
  C 164,168 172,204 174,240 C 200,170 232,122 222,34 Z"
flameHole="M 216,250 C 234,302 292,334 286,402 C 282,450 252,474 212,474
  C 174,474 144,446 148,404 C 152,358 200,328 216,250 Z"
flameCore="M 214,352 C 224,380 252,396 250,424 C 248,446 232,456 213,456
  C 194,456 178,444 178,424 C 178,400 206,386 214,352 Z"

# Writes the flame as a white-on-black mask of 424 x 534 to stdout (MIFF).
FlameMask() {
  convert -size 424x534 xc:black \
    -fill white -draw "path '$flameOuter'" \
    -fill black -draw "path '$flameHole'" \
    -fill white -draw "path '$flameCore'" \
    miff:-
}

# ButtonPicture OUT WORD TOP BOTTOM EDGE: a 220 x 80 button on page 1 with a
# rounded face shaded from TOP to BOTTOM, a thin EDGE outline, a soft gloss
# on the upper half and WORD centred by its ink in white with a faint shadow.
ButtonPicture() {
  local out=$1 word=$2 top=$3 bottom=$4 edge=$5
  convert -size 220x80 "xc:$page1" \
    \( -size 220x80 "gradient:$top-$bottom" \) \
    \( -size 220x80 xc:black -fill white \
       -draw "roundrectangle 4,5 215,74 16,16" \) \
    -composite \
    \( -size 220x80 xc:none -fill none -stroke "$edge" -strokewidth 1.5 \
       -draw "roundrectangle 4.5,5.5 214.5,73.5 16,16" \) \
    -composite \
    \( -size 220x80 xc:none -stroke none -fill 'rgba(255,255,255,0.14)' \
       -draw "roundrectangle 9,9 210,38 12,12" \) \
    -composite \
    \( -background none -stroke none -fill 'rgba(0,40,50,0.45)' -font "$font" \
       -pointsize 36 "label:$word" -trim +repage \) \
    -gravity center -geometry +1+2 -composite \
    \( -background none -stroke none -fill white -font "$font" \
       -pointsize 36 "label:$word" -trim +repage \) \
    -gravity center -geometry +0+0 -composite \
    "${jpegOut[@]}" "$out"
}

# ClosePicture OUT FACE: a 27 x 22 close box, a white x on FACE. Drawn at four
# times the size and scaled down for smooth edges.
ClosePicture() {
  local out=$1 face=$2
  convert -size 108x88 "xc:$face" \
    -stroke white -strokewidth 9 \
    -draw "stroke-linecap round line 38,28 70,60 line 70,28 38,60" \
    -filter Triangle -resize 27x22\! \
    "${jpegOut[@]}" "$out"
}

ButtonPicture install_normal.jpg '安装' 'rgb(58,190,184)' 'rgb(14,128,126)' 'rgb(10,96,98)'
ButtonPicture install_hover.jpg '安装' 'rgb(140,164,184)' 'rgb(84,108,130)' 'rgb(62,82,102)'
ButtonPicture done.jpg '完成' 'rgb(58,190,184)' 'rgb(14,128,126)' 'rgb(10,96,98)'

ClosePicture close_normal.jpg "$page23"
ClosePicture close_hover.jpg 'rgb(234,92,44)'
ClosePicture close_pressed.jpg 'rgb(150,20,20)'

# The big logo: the flame in white on page 1's blue, the mask softened by a
# hair so the curves are smooth.
FlameMask | convert -size 424x534 "xc:$page1" \
  -size 424x534 xc:white \
  \( - -blur 0x0.6 \) \
  -composite "${jpegOut[@]}" logo_flame.jpg

# The small logo: the flame scaled to 136 x 171 on a light blue that fades
# into page 3's colour, and below it the flame mirrored, squeezed to 40 %
# height and fading out downward, as if standing on a glossy floor.
FlameMask | convert - -filter Triangle -resize 136x171\! -write mpr:flame +delete \
  -size 250x256 gradient:'rgb(150,204,246)'-"$page23" \
  -size 250x256 xc:white \
  \( -size 250x256 xc:black mpr:flame -geometry +57+22 -composite \) \
  -composite \
  -size 250x256 xc:white \
  \( -size 250x256 xc:black \
     \( mpr:flame -flip -resize 136x68\! \
        \( -size 136x68 gradient:'gray(45%)'-black \) -compose multiply -composite \) \
     -geometry +57+178 -compose over -composite \) \
  -composite \
  "${jpegOut[@]}" logo_reflect.jpg

# The icon: the flame in white on a rounded blue tile with transparent
# corners; 32-bit with alpha, so ImageMagick writes one BMP-style entry.
FlameMask | convert -size 192x192 xc:none -fill "$page1" \
  -draw "roundrectangle 4,4 187,187 36,36" \
  \( -size 192x192 xc:white \) \
  \( -size 192x192 xc:black \
     \( - -filter Triangle -resize 120x151\! \) -geometry +36+20 -compose over -composite \) \
  -compose src-atop -composite \
  -filter Triangle -resize 48x48 \
  -type TrueColorAlpha -define icon:auto-resize=48 icon48.ico

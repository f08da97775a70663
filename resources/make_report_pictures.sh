#!/usr/bin/env bash
# Draws the report page's pictures with ImageMagick (Debian package: imagemagick) and the
# DejaVu fonts (fonts-dejavu-core). Run it from anywhere; it rewrites the files in
# resources/report/GIF and resources/report/JPG. The page refers to them by folder and name
# without extension (":/GIF/AWARDS"), so a picture's file name is its resource name.
set -euo pipefail
cd "$(dirname "$0")/report"
command -v convert >/dev/null || { echo "ImageMagick's convert is missing (apt-get install imagemagick)" >&2; exit 1; }

SANS=DejaVu-Sans
SANS_BOLD=DejaVu-Sans-Bold
BLUE='#4976D3'
# Metadata (dates, comments) is stripped so that remaking the pictures changes no bytes.
GIF_OUT=(-strip)
JPG_OUT=(-strip -quality 95 -sampling-factor 1x1)

mkdir -p GIF JPG

# The headline band's background, repeated across the band: a vertical gradient through the
# band colour, lighter at the top and deeper at the bottom.
convert -size 1x55 gradient:'#7FA0EA'-"$BLUE" -size 1x55 gradient:"$BLUE"-'#2C58B8' \
    -append "${JPG_OUT[@]}" JPG/BGVERLAUF.jpg

# Menu backgrounds: a soft blue-grey bar and its brighter top variant.
convert -size 2x35 gradient:'#F4F7FC'-'#C9D6EE' "${JPG_OUT[@]}" JPG/BGMENU.jpg
convert -size 2x35 gradient:'#FFFFFF'-'#DCE5F5' "${JPG_OUT[@]}" JPG/BGMENUTOP.jpg

# The one-pixel filler of the separator rows: transparent, so the row's grey shows.
convert -size 1x1 xc:none "${GIF_OUT[@]}" GIF/SPACE.gif

# The picture beside the page's text: a card with a magnifier over a falling row of bars
# (files by size), the program's name and what it finds.
convert -size 192x108 gradient:'#FFFFFF'-'#E3EBFA' \
    -fill none -stroke '#9DB3E4' -strokewidth 1 -draw 'roundrectangle 0,0 191,107 10,10' \
    -stroke none \
    -fill "$BLUE" -draw 'rectangle 14,30 23,90' \
    -fill '#5C86DC' -draw 'rectangle 27,44 36,90' \
    -fill '#7397E2' -draw 'rectangle 40,56 49,90' \
    -fill '#8BA9E8' -draw 'rectangle 53,66 62,90' \
    -fill '#A3BBEE' -draw 'rectangle 66,74 75,90' \
    -fill '#BBCDF3' -draw 'rectangle 79,80 88,90' \
    -fill '#2C58B8' -draw 'rectangle 10,91 92,93' \
    -fill '#FFFFFF80' -stroke '#F2A31B' -strokewidth 5 -draw 'circle 40,42 40,22' \
    -stroke '#F2A31B' -strokewidth 7 -draw 'line 55,57 68,70' \
    -stroke none \
    -font "$SANS_BOLD" -pointsize 21 -fill '#1F3F86' -annotate +100+44 'Bulkon' \
    -font "$SANS" -pointsize 11 -fill '#1F3F86' -annotate +101+62 'The 100' \
    -annotate +101+76 'largest files' \
    -font "$SANS_BOLD" -pointsize 10 -fill '#F2A31B' -annotate +101+92 'at a glance' \
    "${GIF_OUT[@]}" GIF/AWARDS.gif

# A download button: rounded, green, with an arrow into a tray.
convert -size 148x59 xc:none \
    -fill '#2E7D32' -draw 'roundrectangle 1,3 146,57 12,12' \
    -fill '#43A047' -draw 'roundrectangle 1,1 146,54 12,12' \
    -fill '#FFFFFF' -draw 'polygon 14,26 27,26 27,15 33,15 33,26 46,26 30,41' \
    -draw 'rectangle 14,43 46,46' \
    -font "$SANS_BOLD" -pointsize 15 -annotate +55+34 'Download' \
    "${GIF_OUT[@]}" GIF/DOWNLOAD.gif

# Small navigation icons, 16 x 16: a house, a stack of files, a software box.
convert -size 16x16 xc:none \
    -fill "$BLUE" -draw 'polygon 8,1 15,8 13,8 13,15 3,15 3,8 1,8' \
    -fill '#FFFFFF' -draw 'rectangle 7,10 9,15' \
    "${GIF_OUT[@]}" GIF/HOME.gif
convert -size 16x16 xc:none \
    -fill '#A3BBEE' -stroke "$BLUE" -draw 'rectangle 5,1 14,12' \
    -fill '#FFFFFF' -draw 'rectangle 2,4 11,15' \
    -stroke '#7397E2' -draw 'line 4,8 9,8' -draw 'line 4,10 9,10' -draw 'line 4,12 8,12' \
    "${GIF_OUT[@]}" GIF/FILES.gif
convert -size 16x16 xc:none \
    -fill '#F2A31B' -stroke '#B56F00' -draw 'rectangle 2,5 13,14' \
    -fill '#F7C461' -draw 'polygon 2,5 5,2 15,2 13,5' \
    -fill '#F2A31B' -draw 'polygon 13,5 15,2 15,11 13,14' \
    -stroke none -fill "$BLUE" -draw 'rectangle 5,8 10,11' \
    "${GIF_OUT[@]}" GIF/SOFTWARE.gif

identify GIF/* JPG/*

#!/usr/bin/env bash
# Makes tst_formats' pictures, mostly 64 x 48 quadrants (red, green / blue, yellow), with the
# formats' own encoders. linear.icc: sRGB with a linear curve. Run here; the results are kept.
set -euo pipefail
im=/usr/bin/convert
py=/usr/bin/python3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Plain RGB(A) sources (heif-enc 1.15 mistakes palette PNGs), no gAMA or cHRM chunks.
plain="-define png:exclude-chunk=gAMA,cHRM,date,tIME"
rgb="-define png:color-type=2 $plain"
quadrants() { # width height fourth-colour output
    local w=$(($1 / 2)) h=$(($2 / 2)) type=2
    [[ $3 == rgba* ]] && type=6
    $im -size ${w}x$h xc:red xc:lime +append \( -size ${w}x$h xc:blue xc:"$3" +append \) \
        -append +repage -define png:color-type=$type $plain "$4"
}
q=png-rgb.png qa=png-alpha.png
quadrants 64 48 yellow $q
quadrants 64 48 'rgba(255,255,0,0.5)' $qa
quadrants 128 128 yellow "$tmp/q128.png"
$im -size 64x48 xc:black $rgb "$tmp/black.png"
$im $q -depth 16 $rgb "$tmp/q16.png"
$im -size 64x48 xc:'gray(128)' $rgb "$tmp/grey.png"

$im $q -define png:color-type=3 $plain png-palette.png
$im $q -colorspace Gray -depth 16 $plain png-grey16.png
$im $q -depth 16 $rgb png-rgb16.png
$im $q -interlace PNG $rgb png-interlaced.png
$py - "$tmp/grey.png" png-rgb.png "$tmp/black.png" <<'PY'
# What ImageMagick will not write: a lone linear gAMA, an ICC profile, an animation.
import struct, sys, zlib
def chunks(path):
    data = open(path, 'rb').read()[8:]
    while data:
        n = struct.unpack('>I', data[:4])[0]
        yield data[4:8], data[8:8 + n]
        data = data[12 + n:]
chunk = lambda k, b: struct.pack('>I', len(b)) + k + b + struct.pack('>I', zlib.crc32(k + b))
write = lambda path, kinds: open(path, 'wb').write(b'\x89PNG\r\n\x1a\n' + b''.join(chunk(*c) for c in kinds))
grey = [(k, b) for k, b in chunks(sys.argv[1]) if k in (b'IHDR', b'IDAT', b'IEND')]
write('png-gamma.png', grey[:1] + [(b'gAMA', struct.pack('>I', 100000))] + grey[1:])
icc = zlib.compress(open('linear.icc', 'rb').read())
write('png-icc.png', grey[:1] + [(b'iCCP', b'linear\0\0' + icc)] + grey[1:])
q = [(k, b) for k, b in chunks(sys.argv[2]) if k in (b'IHDR', b'IDAT', b'IEND')]
black = [b for k, b in chunks(sys.argv[3]) if k == b'IDAT']
fctl = lambda seq: (b'fcTL', struct.pack('>IIIIIHHBB', seq, 64, 48, 0, 0, 1, 10, 0, 0))
write('png-animated.png', q[:1] + [(b'acTL', struct.pack('>II', 2, 0)), fctl(0)] + q[1:2] +
      [fctl(1), (b'fdAT', struct.pack('>I', 2) + black[0])] + q[2:])
PY

cwebp -quiet -q 95 $q -o webp-lossy.webp
cwebp -quiet -lossless $q -o webp-lossless.webp
cwebp -quiet -q 95 -alpha_q 100 $qa -o webp-alpha.webp
img2webp -q 95 $q "$tmp/black.png" -o webp-animated.webp 2>/dev/null
# A first frame smaller than its canvas and off its corner, with the canvas clear around it.
cwebp -quiet -lossless "$tmp/black.png" -o "$tmp/black.webp"
webpmux -frame "$tmp/black.webp" +100+64+48 -frame webp-lossless.webp +100+0+0 -o webp-offset.webp >/dev/null
quadrants 1600 1200 yellow "$tmp/large.png"
cwebp -quiet -q 80 "$tmp/large.png" -o webp-large.webp

# TIFF: the usual compressions, strips and tiles, every kind of pixel
$im $q -type TrueColor -compress none tiff-none.tif
for c in lzw:lzw zip:deflate packbits:packbits; do tiffcp -c ${c%:*} tiff-none.tif tiff-${c#*:}.tif; done
tiffcp -c jpeg:r:95 -r 16 tiff-none.tif tiff-jpeg.tif
tiffcp -c lzw -t -w 16 -l 16 tiff-none.tif tiff-tiled.tif
$im $q -colorspace Gray -threshold 60% -monochrome -compress Group4 tiff-g4.tif
for t in "-colorspace Gray grey" "-type Palette palette" "-colorspace CMYK cmyk"; do
    set -- $t && $im $q $1 $2 -compress lzw tiff-$3.tif
done
$im "$tmp/q16.png" -depth 16 -compress zip tiff-rgb16.tif
$im $q "$tmp/black.png" -compress lzw tiff-pages.tif
cp tiff-none.tif tiff-turned.tif
tiffset -s 274 6 tiff-turned.tif

# HEIF (HEVC through x265) and AVIF
heif-enc -q 95 -p chroma=444 $q -o heic-plain.heic >/dev/null
heif-enc -q 95 -p chroma=444 $qa -o heic-alpha.heic >/dev/null
heif-enc -q 95 -b 10 -p chroma=444 "$tmp/q16.png" -o heic-10bit.heic >/dev/null
heif-enc -q 95 -p chroma=444 -t 32 $q -o heic-thumb.heic >/dev/null # a 32 x 24 thumbnail
avif() { avifenc -s 8 --min 0 --max 10 "$@" >/dev/null; }
avif -y 444 $q avif-plain.avif
avif -d 10 -y 420 $q avif-10bit.avif
avif -y 444 $qa avif-alpha.avif
avif -y 444 --grid 2x2 "$tmp/q128.png" avif-grid.avif
avif -y 444 --irot 1 --imir 1 $q avif-turned.avif # a quarter turn anticlockwise, mirrored
avif -y 444 --cicp 1/8/1 "$tmp/grey.png" avif-linear.avif
# The same turned AV1 picture labelled as a plain HEIF, which libheif reads.
$py -c "d = open('avif-turned.avif', 'rb').read()
open('heif-turned.heif', 'wb').write(d[:32].replace(b'avif', b'mif1') + d[32:])"

for j in "$q lossless 0" "$q lossy 0.5" "$qa alpha 0" "png-icc.png icc 0"; do
    set -- $j && cjxl $1 jxl-$2.jxl -d $3 --quiet 2>/dev/null
done
cat >svg-drawing.svg <<'SVG'
<?xml version="1.0" encoding="UTF-8"?>
<!-- quadrants -->
<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" width="64" height="48" viewBox="0 0 64 48">
  <defs><rect id="cell" width="32" height="24"/></defs>
  <use xlink:href="#cell" fill="#f00"/>
  <rect x="32" width="32" height="24" fill="#0f0"/>
  <rect y="24" width="32" height="24" fill="#00f"/>
  <rect x="32" y="24" width="32" height="24" fill="#ff0"/>
</svg>
SVG
gzip -9 -n -c svg-drawing.svg >svg-packed.svgz

# Hostile files: headers claiming 100,000 x 100,000, an SVGZ of 80 MB, an AV1 picture of
# 8192 x 16 in a plain HEIF whose container says 64 x 48 (and bomb-grid.heic as fuzz_heif found it).
$im -size 8192x16 xc:red $rgb "$tmp/wide.png"
avifenc -s 10 --min 40 --max 50 "$tmp/wide.png" "$tmp/wide.avif" >/dev/null
$py - "$tmp/wide.avif" <<'PY'
import struct, sys, zlib, gzip
big = struct.pack('>II', 100000, 100000)
rgb = open('png-rgb.png', 'rb').read()
body = big + rgb[24:29]  # the IHDR chunk's data, its size replaced
open('bomb.png', 'wb').write(rgb[:8] + struct.pack('>I', 13) + b'IHDR' + body +
                              struct.pack('>I', zlib.crc32(b'IHDR' + body)) + rgb[33:])
# An animation's canvas may claim what a frame cannot (libwebp refuses over 2^32 pixels).
anim = open('webp-animated.webp', 'rb').read()
at = anim.index(b'VP8X') + 12
open('bomb.webp', 'wb').write(anim[:at] + (59999).to_bytes(3, 'little') * 2 + anim[at + 6:])
for kind in ('heic', 'avif'):
    data = open(f'{kind}-plain.{kind}', 'rb').read()
    at = data.index(b'ispe') - 4
    open(f'bomb.{kind}', 'wb').write(data[:at + 12] + big + data[at + 20:])
# A JPEG XL size header, lowest bit first: no ratio, both sides in the widest field.
fields = [(0, 1), (3, 2), (100000 - 1, 30), (0, 3), (3, 2), (100000 - 1, 30), (1, 1)]
bits = [(value >> i) & 1 for value, count in fields for i in range(count)]
bits += [0] * (-len(bits) % 8)
stream = bytes(sum(bits[i + j] << j for j in range(8)) for i in range(0, len(bits), 8))
open('bomb.jxl', 'wb').write(b'\xff\x0a' + stream + bytes(64))
open('bomb.svgz', 'wb').write(gzip.compress(b'<svg xmlns="http://www.w3.org/2000/svg">' +
                                            b' ' * (80 << 20) + b'</svg>', 9, mtime=0))
data = bytearray(open(sys.argv[1], 'rb').read())
at = data.index(b'ispe')
data[at + 8:at + 16] = struct.pack('>II', 64, 48)
f = data.index(b'ftyp') - 4
f = slice(f, f + struct.unpack('>I', data[f:f + 4])[0])
data[f] = bytes(data[f]).replace(b'avif', b'mif1').replace(b'avis', b'mif1')
open('bomb-av1.heif', 'wb').write(data)
PY
$im tiff-none.tif -compress none bomb.tif
for tag in 256 257; do tiffset -s $tag 100000 bomb.tif; done

# A pyramid: ImageMagick writes the reduced copies as further pages, marked as copies after.
quadrants 1000 750 yellow "$tmp/pyramid.png"
$im "$tmp/pyramid.png" -compress zip PTIF:tiff-pyramid.tif
for directory in 1 2 3 4; do tiffset -d $directory -s 254 1 tiff-pyramid.tif; done
# A scan's plain strips, averaged as read when drawn small.
$im "$tmp/large.png" -type TrueColor -compress lzw tiff-large.tif

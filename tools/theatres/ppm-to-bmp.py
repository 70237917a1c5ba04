#!/usr/bin/python3
"""ppm-to-bmp.py PPM W H BMP NAME: the W x H pixels at the bottom-left corner of a binary 8-bit PPM as a 24-bit BMP.

make-theatres.sh crops Ghostscript's page (rounded up at its top and right) to the theatre's bitmap with it: rows
bottom to top, each padded to 4 bytes, no resolution, the very bytes ImageMagick's
`convert PPM -gravity SouthWest -crop WxH+0+0 +repage -alpha off -type TrueColor BMP3:BMP` writes
(tests/theatres/ppm-to-bmp-selftest.sh compares the two), as a byte copy with the colour order turned: a second and
a half quicker a theatre than decoding and encoding the image. NAME names the theatre in messages.
"""
import struct
import sys


def main():
    ppm, w, h, bmp, name = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4], sys.argv[5]
    with open(ppm, "rb") as f:
        data = f.read()
    # The header: magic, width, height and maximum value, apart by white space and comments, then one white space.
    fields, at = [], 0
    while len(fields) < 4 and at < len(data):
        if data[at:at + 1] == b"#":
            line_end = data.find(b"\n", at)  # a comment runs to the end of its line
            at = len(data) if line_end < 0 else line_end + 1
        elif data[at:at + 1].isspace():
            at += 1
        else:
            end = at
            while end < len(data) and not data[end:end + 1].isspace():
                end += 1
            fields.append(data[at:end])
            at = end
    at += 1
    if len(fields) < 4 or fields[0] != b"P6" or fields[3] != b"255" or not (fields[1] + fields[2]).isdigit():
        sys.exit(f"make-theatres: the raster of {name} ({ppm}) is not an 8-bit binary PPM")
    rw, rh = int(fields[1]), int(fields[2])
    if rw < w or rh < h:
        sys.exit(f"make-theatres: the raster of {name} is {rw}x{rh}, smaller than {w}x{h}")
    if len(data) - at < rw * rh * 3:
        sys.exit(f"make-theatres: the raster of {name} ({ppm}) is cut short")
    row = w * 3
    stride = (row + 3) // 4 * 4
    out = bytearray(54 + stride * h)
    struct.pack_into("<2sIHHIIiiHHIIiiII", out, 0, b"BM", len(out), 0, 0, 54, 40, w, h, 1, 24, 0, stride * h, 0, 0,
                     0, 0)
    for y in range(h):  # BMP row y (bottom up) is raster row rh - 1 - y (top down)
        src = at + (rh - 1 - y) * rw * 3
        rgb = data[src:src + row]
        dst = 54 + y * stride
        out[dst:dst + row:3] = rgb[2::3]
        out[dst + 1:dst + row:3] = rgb[1::3]
        out[dst + 2:dst + row:3] = rgb[0::3]
    with open(bmp, "wb") as f:
        f.write(out)


main()

#!/usr/bin/env python3
"""Frames for the host tests, with nothing beyond Python's own library.

  frames.py clip W H N OUT.y4m          a moving 4:2:0 test clip
  frames.py split IN.rgba W H PREFIX    each RGBA frame as PREFIX_NNN.png (RGB)
  frames.py compare IN.rgba OUT.rgba W H REF.png...
      OUT's colours equal to the reference pictures, frame by frame, and its
      alpha equal to IN's; prints the first difference and exits 1 if not.
"""
import struct
import sys
import zlib


def clip(width, height, count, path):
    cw, ch = (width + 1) // 2, (height + 1) // 2
    with open(path, "wb") as out:
        out.write(b"YUV4MPEG2 W%d H%d F25:1 Ip A1:1 C420jpeg\n" % (width, height))
        for f in range(count):
            # Edges, gradients and fine texture that move from frame to frame.
            y = bytes(
                (16 + ((x * 7 + r * 3 + f * 5) % 220) if (x // 6 + r // 5 + f) % 3 else 235 - (x * r + f * 31) % 200)
                for r in range(height) for x in range(width))
            cb = bytes((64 + (x * 5 + f * 9) % 128) for r in range(ch) for x in range(cw))
            cr = bytes((192 - (r * 6 + x + f * 7) % 128) for r in range(ch) for x in range(cw))
            out.write(b"FRAME\n" + y + cb + cr)


def write_png(path, width, height, rgb):
    rows = b"".join(b"\0" + rgb[r * width * 3:(r + 1) * width * 3] for r in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
                  chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def read_png(path):
    """8-bit RGB, not interlaced: the pictures the command line writes."""
    data = open(path, "rb").read()
    pos, idat, width = 8, b"", 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if (depth, colour, interlace) != (8, 2, 0):
                sys.exit("%s: not an 8-bit RGB picture" % path)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw, stride = zlib.decompress(idat), width * 3
    rows, above = [], bytearray(stride)
    for r in range(height):
        kind, line = raw[r * (stride + 1)], bytearray(raw[r * (stride + 1) + 1:(r + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 3] if i >= 3 else 0
            b, c = above[i], (above[i - 3] if i >= 3 else 0)
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line))
        above = line
    return width, height, b"".join(rows)


def rgb_of(rgba):
    out = bytearray(len(rgba) // 4 * 3)
    out[0::3], out[1::3], out[2::3] = rgba[0::4], rgba[1::4], rgba[2::4]
    return bytes(out)


def frames(path, size):
    data = open(path, "rb").read()
    if len(data) % size:
        sys.exit("%s: %d bytes is no whole number of %d-byte frames" % (path, len(data), size))
    return [data[i:i + size] for i in range(0, len(data), size)]


def compare(inp, outp, width, height, references):
    size = width * height * 4
    ins, outs = frames(inp, size), frames(outp, size)
    if not (len(ins) == len(outs) == len(references)):
        sys.exit("frame counts differ: %d in, %d out, %d references" % (len(ins), len(outs), len(references)))
    for f, (i, o, ref) in enumerate(zip(ins, outs, references)):
        if i[3::4] != o[3::4]:
            sys.exit("frame %d: alpha was changed" % f)
        w, h, expected = read_png(ref)
        if (w, h) != (width, height):
            sys.exit("%s: %dx%d, frames are %dx%d" % (ref, w, h, width, height))
        got = rgb_of(o)
        if got != expected:
            k = next(k for k in range(len(got)) if got[k] != expected[k])
            p = k // 3
            sys.exit("frame %d differs from %s first at x=%d y=%d channel %d: %d, expected %d" %
                     (f, ref, p % width, p // width, k % 3, got[k], expected[k]))
    print("%d frames of %dx%d equal to the command line's" % (len(outs), width, height))


def main(argv):
    if argv[1] == "clip":
        clip(int(argv[2]), int(argv[3]), int(argv[4]), argv[5])
    elif argv[1] == "split":
        width, height = int(argv[3]), int(argv[4])
        for f, rgba in enumerate(frames(argv[2], width * height * 4)):
            write_png("%s_%03d.png" % (argv[5], f), width, height, rgb_of(rgba))
    elif argv[1] == "compare":
        compare(argv[2], argv[3], int(argv[4]), int(argv[5]), argv[6:])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)

#!/usr/bin/env python3
"""Writes hall.wav into the folder given: a 1.5 s stereo impulse (decaying noise, 44100 Hz,
16-bit) with an INFO list (title, author, copyright, comments) and a display chunk holding a
bitmap (clipboard format 8), as the pages' summary fields and the Open dialog's panel show."""
import math
import random
import struct
import sys


def chunk(fourcc, data):
    pad = b"\0" if len(data) % 2 else b""
    return fourcc + struct.pack("<I", len(data)) + data + pad


def picture(width=120, height=72):
    """A 24-bit bottom-up DIB: a dusk sky over a hall's roof line, drawn here."""
    stride = (width * 3 + 3) // 4 * 4
    rows = []
    for y in range(height):  # y = 0 is the bottom row
        row = bytearray()
        for x in range(width):
            roof = 18 + int(14 * abs(math.sin(x / width * math.pi)))
            if y < roof:
                b, g, r = 40, 30, 26
            else:
                t = (y - roof) / max(1, height - roof)
                r, g, b = int(250 - 150 * t), int(150 - 60 * t), int(90 + 110 * t)
            row += bytes((b, g, r))
        row += b"\0" * (stride - width * 3)
        rows.append(bytes(row))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, stride * height,
                         2835, 2835, 0, 0)
    return header + b"".join(rows)


def main():
    folder = sys.argv[1]
    rate, frames = 44100, 66150
    rng = random.Random(17)
    samples = bytearray()
    for n in range(frames):
        level = 20000 * math.exp(-n / (0.25 * rate))
        for _ in range(2):
            samples += struct.pack("<h", int(max(-32767, min(32767, rng.gauss(0, 0.4) * level))))
    fmt = struct.pack("<HHIIHH", 1, 2, rate, rate * 4, 4, 16)
    info = b"INFO"
    for key, text in ((b"INAM", "Small hall"), (b"IENG", "Auralith project"),
                      (b"ICOP", "Public domain"),
                      (b"ICMT", "Synthetic: decaying stereo noise, 1.5 s")):
        info += chunk(key, text.encode("cp1252") + b"\0")
    body = (b"WAVE" + chunk(b"fmt ", fmt) + chunk(b"LIST", info)
            + chunk(b"DISP", struct.pack("<I", 8) + picture()) + chunk(b"data", bytes(samples)))
    with open(folder + "/hall.wav", "wb") as out:
        out.write(chunk(b"RIFF", body))


if __name__ == "__main__":
    main()

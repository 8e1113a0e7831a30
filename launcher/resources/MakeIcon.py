#!/usr/bin/env python3
"""Draws the launcher's application icon and writes Talvorin.ico beside this script.

The picture is an amber arrow dropping into a white tray on a teal tile. ImageMagick draws it
afresh at each size (without smoothing, so every pixel is one of a few colours and the small
sizes stay crisp); this script packs the pixels as 16-colour bitmaps with a transparency mask,
which keeps the icon, and so the launcher, a few kilobytes smaller than 32-bit entries would.
Run: python3 launcher/resources/MakeIcon.py (needs ImageMagick's convert).
"""
import os
import struct
import subprocess

Sizes = (16, 32, 48)
Tile = "#155e75"
Tray = "#f8fafc"
Arrow = "#f59e0b"


def Scaled(Value, Size):
    """A coordinate of the 48-pixel drawing at another size."""
    return round(Value * Size / 48)


def Points(Pairs, Size):
    return " ".join(f"{Scaled(X, Size)},{Scaled(Y, Size)}" for X, Y in Pairs)


def DrawRgba(Size):
    """The picture at Size pixels as rows of RGBA bytes, top row first."""
    TrayOutline = [(9, 27), (15, 27), (15, 34), (33, 34), (33, 27), (39, 27), (39, 40), (9, 40)]
    ArrowOutline = [(20, 7), (28, 7), (28, 18), (34, 18), (24, 29), (14, 18), (20, 18)]
    Corner = Scaled(7, Size)
    Command = [
        "convert", "-size", f"{Size}x{Size}", "xc:none", "+antialias",
        "-fill", Tile, "-draw", f"roundrectangle 1,1 {Size - 2},{Size - 2} {Corner},{Corner}",
        "-fill", Tray, "-draw", "polygon " + Points(TrayOutline, Size),
        "-fill", Arrow, "-draw", "polygon " + Points(ArrowOutline, Size),
        "-depth", "8", "rgba:-",
    ]
    return subprocess.run(Command, check=True, stdout=subprocess.PIPE).stdout


def PackBitmap(Size, Rgba):
    """One icon image: header, 16-colour palette, 4-bit pixels and 1-bit mask, bottom row first."""
    Palette = [(0, 0, 0)]  # index 0 stands under the transparent pixels
    Indexes = []
    Mask = []
    for Offset in range(0, len(Rgba), 4):
        Red, Green, Blue, Alpha = Rgba[Offset:Offset + 4]
        if Alpha < 128:
            Indexes.append(0)
            Mask.append(1)
            continue
        if (Red, Green, Blue) not in Palette:
            Palette.append((Red, Green, Blue))
        Indexes.append(Palette.index((Red, Green, Blue)))
        Mask.append(0)
    if len(Palette) > 16:
        raise SystemExit(f"{Size}x{Size}: {len(Palette)} colours do not fit a 16-colour icon")
    Palette += [(0, 0, 0)] * (16 - len(Palette))

    PixelRow = (Size * 4 + 31) // 32 * 4
    MaskRow = (Size + 31) // 32 * 4
    Pixels = bytearray()
    Bits = bytearray()
    for Y in reversed(range(Size)):
        Row = Indexes[Y * Size:(Y + 1) * Size]
        Packed = bytearray((Row[X] << 4) | (Row[X + 1] if X + 1 < Size else 0) for X in range(0, Size, 2))
        Pixels += Packed + bytes(PixelRow - len(Packed))
        Line = bytearray(MaskRow)
        for X in range(Size):
            if Mask[Y * Size + X]:
                Line[X // 8] |= 0x80 >> (X % 8)
        Bits += Line
    # BITMAPINFOHEADER; the height counts the pixel rows and the mask rows together.
    Header = struct.pack("<IiiHHIIiiII", 40, Size, Size * 2, 1, 4, 0, len(Pixels) + len(Bits), 0, 0, 16, 0)
    Colours = b"".join(struct.pack("<BBBB", Blue, Green, Red, 0) for Red, Green, Blue in Palette)
    return Header + Colours + bytes(Pixels) + bytes(Bits)


def Main():
    Images = [PackBitmap(Size, DrawRgba(Size)) for Size in Sizes]
    Directory = struct.pack("<HHH", 0, 1, len(Images))
    Offset = len(Directory) + 16 * len(Images)
    Entries = b""
    for Size, Image in zip(Sizes, Images):
        Entries += struct.pack("<BBBBHHII", Size, Size, 16, 0, 1, 4, len(Image), Offset)
        Offset += len(Image)
    Output = os.path.join(os.path.dirname(os.path.abspath(__file__)), "Talvorin.ico")
    with open(Output, "wb") as File:
        File.write(Directory + Entries + b"".join(Images))
    print(f"{Output}: {Offset} bytes")


if __name__ == "__main__":
    Main()

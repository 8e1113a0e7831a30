#!/usr/bin/env python3
"""Writes the seed inputs of every fuzz target into fuzz/corpus/<target>/.

The seeds are small, named after what they hold, and kept in the repository; run this again
after changing it. The fuzzer's own finds go to a scratch folder under build-fuzz instead.
"""
import os
import random
import struct
import zlib

Root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def WriteSeed(Target, Name, Data):
    Folder = os.path.join(Root, Target)
    os.makedirs(Folder, exist_ok=True)
    with open(os.path.join(Folder, Name), "wb") as File:
        File.write(bytes(Data))


def VarInt(Value):
    Out = bytearray()
    while True:
        Byte = Value & 0x7F
        Value >>= 7
        Out.append(Byte | 0x80 if Value else Byte)
        if not Value:
            return bytes(Out)


def Block(OutputSize, ReferenceCount, Stream, InputSize=None):
    if InputSize is None:
        InputSize = 16 + len(Stream)
    return b"ucs1" + struct.pack("<iii", OutputSize, InputSize, ReferenceCount) + bytes(Stream)


def Literal(Data):
    return VarInt(len(Data) << 1) + bytes(Data)


def Reference(Length, Distance):
    return VarInt(Length << 1 | 1) + VarInt(Distance)


# Output of Size bytes: references that each copy all that follows them, then a 16-byte literal.
def DoublingChain(Size):
    Stream, Count, Length = b"", 0, Size // 2
    while Length >= 16:
        Stream += Reference(Length, Length)
        Count += 1
        Length //= 2
    return Block(Size, Count, Stream + Literal(b"ABCDEFGHIJKLMNOP"))


WorkedExample = bytes.fromhex("7563733106000000170000000200000005020502044142")


def ExpandSeeds():
    Seeds = {
        "WorkedExample": WorkedExample,
        "EmptyOutput": Block(0, 0, b""),
        "ZeroLengthLiteralAndReference": Block(2, 1, b"\x00" + Reference(0, 127) + Literal(b"ab") + b"\x00"),
        "DistanceEqualsLength": Block(4, 1, Reference(2, 2) + Literal(b"ab")),
        "FiveByteInteger": Block(6, 1, bytes([0x87, 0x80, 0x80, 0x80, 0x00]) + VarInt(3) + Literal(b"xyz")),
        "PaddingAfterInputSize": WorkedExample + b"\xde\xad",
        "DoublingChain4KiB": DoublingChain(4096),
        "DoublingChain1MiB": DoublingChain(1 << 20),
        # The first reference reads the second one's target, so only last-to-first order works.
        "ReferenceReadsALaterReference": Block(
            60, 2, Literal(b"head-") + Reference(10, 18) + Literal(b"-middle-") + Reference(12, 22)
            + Literal(b"tail:0123456789ABCDEFGHIJ")),
        "ReferenceOverlapsItsTarget": Block(4, 1, Reference(2, 1) + Literal(b"ab")),
        "ReferenceLeavesTheOutput": Block(4, 1, Reference(2, 3) + Literal(b"ab")),
        "TruncatedHeader": WorkedExample[:10],
        "InputSizePastTheBlock": Block(2, 0, Literal(b"ab"), InputSize=40),
        "IntegerPastInputSize": Block(2, 0, Literal(b"ab") + b"\x80"),
        "NegativeOutputSize": Block(-1, 0, b""),
    }
    for Name, Data in Seeds.items():
        WriteSeed("FuzzExpandPacket", Name, Data)


def RoundTrip(Split, Knobs, Data):
    return struct.pack("<H", Split) + bytes([Knobs]) + bytes(Data)


def RoundTripSeeds():
    Random = random.Random(1)
    Noise = bytes(Random.getrandbits(8) for _ in range(700))
    Text = b"Talvorin demo setup program, argument parsing and package checks. " * 3
    Seeds = {
        "Empty": RoundTrip(0, 0, b""),
        "SetupOnly": RoundTrip(40, 0, Text[:40]),
        "FarRepeatDefaults": RoundTrip(300, 0x00, Noise[:300] + Text + Noise[:300]),
        "FarRepeatNoDeflateModel": RoundTrip(300, 0x05, Noise[:300] + Text + Noise[:300]),
        "RunsSmallWindow": RoundTrip(10, 0x02, b"\x00" * 900 + b"x" + b"\x00" * 900),
        "RepeatsEveryKnob": RoundTrip(200, 0xFF, (Text[:50] + Noise[:30]) * 12),
        "NoiseSplitInside": RoundTrip(123, 0x01, Noise),
    }
    for Name, Data in Seeds.items():
        WriteSeed("FuzzPackerRoundTrip", Name, Data)


def CommandLineSeeds():
    Seeds = {
        "ProgramOnly": b"Install",
        "Empty": b"",
        "DemoArguments": b'Install /silent "two words" /dir="C:\\Program Files\\Demo"',
        "RunsOfSpacesAndTabs": b"Install   a \t\t b\t",
        "QuotedProgramName": b'"C:\\Program Files\\Install.exe" a',
        "LonePairsOfQuotes": b'Install "" a "" "" b',
        "LoneQuoteAtTheEnd": b'Install a "',
        "BackslashBeforeQuote": b'Install a\\"b c" d',
        "ControlCharacters": b"Install a\x01b\x1fc\x7f",
        "HighBytes": b"Install \xe9t\xe9 \xff\x80 \"\xa0 \xa0\"",
        "LeadingPairsAndSeparators": b'  ""  ab"c d"e  f',
        "ZeroByteEndsTheLine": b"Install a\x00b c",
        "Argument4097": b"Install " + b"a" * 4097 + b" z",
        "QuotedStretchPastTheLimit": b'Install "' + b"b" * 4200 + b' tail" next',
        "ExactlyTheLimitThenQuote": b"Install " + b"c" * 4096 + b'"d e" f',
    }
    for Name, Data in Seeds.items():
        WriteSeed("FuzzCommandLine", Name, Data)


def Packet(Inflated, Level=9, Dictionary=None, Size=None):
    Compressor = zlib.compressobj(Level, zlib.DEFLATED, 15, 9, zlib.Z_DEFAULT_STRATEGY,
                                  *([Dictionary] if Dictionary else []))
    Stream = Compressor.compress(Inflated) + Compressor.flush()
    return struct.pack("<i", len(Inflated) if Size is None else Size) + Stream


def DecompressSeeds():
    Inflated = b"ucs1" + bytes((Index * 7 + Index // 300) & 0xFF for Index in range(3000))
    Good = Packet(Inflated)
    Adler = bytearray(Good)
    Adler[-1] ^= 1
    Seeds = {
        "WorkedExample": Packet(WorkedExample),
        "EmptyStream": Packet(b""),
        "Block3000": Good,
        "StoredBlocks": Packet(Inflated[:1000], Level=0),
        "FastLevel": Packet(WorkedExample * 20, Level=1),
        "InflatedSizeLarger": Packet(Inflated, Size=len(Inflated) + 10),
        "InflatedSizeOneShort": Packet(Inflated, Size=len(Inflated) - 1),
        "NegativeInflatedSize": Packet(WorkedExample, Size=-5),
        "NeedsPresetDictionary": Packet(WorkedExample, Dictionary=b"d" * 100),
        "AdlerChanged": bytes(Adler),
        "StreamCutShort": Good[: len(Good) // 2],
        "TrailingBytes": Packet(WorkedExample) + b"after the stream",
        "NoRoomForTheLength": b"\x01\x02\x03",
    }
    for Name, Data in Seeds.items():
        WriteSeed("FuzzDecompressPacket", Name, Data)


if __name__ == "__main__":
    ExpandSeeds()
    RoundTripSeeds()
    CommandLineSeeds()
    DecompressSeeds()

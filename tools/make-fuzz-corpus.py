#!/usr/bin/env python3
"""Writes the fuzz targets' corpus (tests/fuzz/corpus/<target>/): small files of our own,
each a valid or nearly valid input that leads a target into its parser. The inputs with
which the fuzzers found faults are kept beside them as they were found."""
import pathlib
import struct

root = pathlib.Path(__file__).resolve().parent.parent
corpus = root / "tests" / "fuzz" / "corpus"
stored_logo = (root / "app" / "resources" / "Image4.stored").read_bytes()
logo_jpeg = stored_logo[1 + stored_logo[0]:]
small_png = (root / "app" / "resources" / "Image2.png").read_bytes()
square_bmp = (root / "tests" / "imaging" / "resources" / "BITMAP" / "SQUARE").read_bytes()


def bmp(width, height, bits=24, core=False):
    stride = (width * bits // 8 + 3) & ~3
    pixels = bytes(stride * abs(height))
    if core:
        info = struct.pack("<IHHHH", 12, width, height, 1, bits)
    else:
        info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(pixels),
                           3780, 3780, 0, 0)
    offset = 14 + len(info)
    return b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + info + pixels


def gif(version, width, height):
    return (b"GIF" + version + struct.pack("<HHBBB", width, height, 0x80, 0, 0) +
            b"\x00\x00\x00\xff\xff\xff" + b",\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02D\x01\x00;")


def gif_short_tables(frames):
    """1 by 1 frames, each (palette index, own table): a global table of white and red, a
    local one of green and blue; indices 2 and 3 lie past either."""
    data = b"GIF89a" + struct.pack("<HHBBB", 1, 1, 0x80, 0, 0) + b"\xff\xff\xff\xff\x00\x00"
    data += b"!\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00"
    for index, local in frames:
        data += b"!\xf9\x04\x00\x0a\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00"
        data += b"\x80\x00\xff\x00\x00\x00\xff" if local else b"\x00"
        codes = 4 | (index << 3) | (5 << 6)
        data += bytes([2, 2, codes & 0xFF, codes >> 8, 0])
    return data + b";"


def segment(marker, payload):
    return struct.pack(">HH", marker, len(payload) + 2) + payload


def jpeg_header(frame_marker=0xFFC0, restart=False, width=16, height=8):
    data = b"\xff\xd8" + segment(0xFFE0, b"JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00")
    data += segment(0xFFDB, b"\x00" + bytes(range(1, 65)))
    if restart:
        data += b"\xff\xdd\x00\x04\x00\x10"
    data += segment(0xFFC4, b"\x00" + bytes([0, 1] + [0] * 14) + b"\x00")
    data += segment(frame_marker, struct.pack(">BHHB", 8, height, width, 1) + b"\x01\x11\x00")
    return data + b"\xff\xd9"


def tiff(big_endian, width_type, width, height):
    order = ">" if big_endian else "<"
    start = b"MM\x00*" if big_endian else b"II*\x00"
    entries = []
    for tag, value, kind in ((256, width, width_type), (257, height, 3), (258, 8, 3)):
        if kind == 3:
            field = struct.pack(order + "H", value) + b"\x00\x00"
        else:
            field = struct.pack(order + "I", value)
        entries.append(struct.pack(order + "HHI", tag, kind, 1) + field)
    directory = struct.pack(order + "H", len(entries)) + b"".join(entries) + b"\x00" * 4
    return start + struct.pack(order + "I", 8) + directory


def stored(class_name, data):
    return bytes([len(class_name)]) + class_name + data


def emf_header(left, top, right, bottom):
    return struct.pack("<II4i", 1, 88, left, top, right, bottom) + bytes(88 - 24)


def encode_text(text, offset):
    key = b"40267318"
    result = "%02X" % offset
    for i, c in enumerate(text.encode("cp1252")):
        value = ((offset + c) % 255) ^ key[i % len(key)]
        result += "%02X" % value
        offset = value
    return result.encode("ascii")


files = {
    "bmp_header": {
        "square-24bit.bmp": square_bmp,
        "info-header.bmp": bmp(3, 2),
        "core-header.bmp": bmp(5, 4, core=True),
        "top-down-32bit.bmp": bmp(2, -3, bits=32),
    },
    "gif_header": {
        "gif89a.gif": gif(b"89a", 1, 1),
        "gif87a.gif": gif(b"87a", 300, 2),
    },
    "jpeg_header": {
        "logo.jpg": logo_jpeg,
        "baseline.jpg": jpeg_header(),
        "restart-interval.jpg": jpeg_header(restart=True, width=640, height=480),
        "progressive.jpg": jpeg_header(0xFFC2),
        "lossless.jpg": jpeg_header(0xFFC3, width=3, height=2),
    },
    "png_header": {
        "small.png": small_png,
        "header-only.png": small_png[:33],
    },
    "tiff_header": {
        "little-endian.tif": tiff(False, 3, 40, 30),
        "big-endian.tif": tiff(True, 4, 70000, 2),
    },
    "stored_picture": {
        "smart-image-jpeg.stored": stored_logo,
        "png-image.stored": stored(b"TqkPNGImage", small_png),
        "smart-image-bmp.stored": stored(b"TqkSmartImage", bmp(3, 2)),
        "smart-image-gif.stored": stored(b"TqkSmartImage", gif(b"89a", 1, 1)),
        "smart-image-tiff.stored": stored(b"TqkSmartImage", tiff(False, 3, 4, 4)),
        "bitmap.stored": stored(b"TBitmap", square_bmp),
        "metafile.stored": stored(b"TMetafile", emf_header(0, 0, 99, 49)),
        "metafile-far-bounds.stored": stored(b"TMetafile",
                                             emf_header(-2, -5, 0x7FFFFFFF, 0x7FFFFFF0)),
        "unknown-class.stored": stored(b"TJPEGImage", logo_jpeg[:64]),
        "empty-name.stored": b"\x00",
    },
    "smart_image_decode": {
        "logo.jpg": logo_jpeg,
        "small.png": small_png,
        "info-header.bmp": bmp(3, 2),
        "gif89a.gif": gif(b"89a", 1, 1),
        "frames-past-their-tables.gif": gif_short_tables([(1, False), (3, True), (2, False)]),
        "little-endian.tif": tiff(False, 3, 4, 4),
    },
    "settings_file": {
        "DozEdiz.INI": b"Informar Porta\r\nCozinha\r\n1\r\n1\r\nNenhuma\r\n\r\nN\r\nporta1.txt\r\n",
        "pedido.INI": b"118\r\n",
        "utf8-bom.INI": b"\xef\xbb\xbfCaf\xc3\xa9\r\nPorta\n",
        "utf16le-bom.INI": b"\xff\xfe" + "A\u00e7a\u00ed\r\n2\r\n".encode("utf-16-le"),
        "utf16be-bom.INI": b"\xfe\xff" + "P\u00e3o\r9\n".encode("utf-16-be"),
        "lone-cr.INI": b"S\rN\rS",
    },
    "text_codec": {
        "masterkey.txt": encode_text("masterkey", 0x5A),
        "accented.txt": encode_text("A\u00e7\u00facar e caf\u00e9", 0xF0),
        "offset-only.txt": b"7F",
        "lowercase.txt": encode_text("cozinha", 0x01).lower(),
    },
}

for target, entries in files.items():
    folder = corpus / target
    folder.mkdir(parents=True, exist_ok=True)
    for name, data in entries.items():
        (folder / name).write_bytes(data)

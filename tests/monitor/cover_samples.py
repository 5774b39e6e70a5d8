"""Pictures into the plain audio files of make_cover_samples.sh, in FOLDER.

mutagen writes the ordinary tags; the shapes it cannot write (ID3v2.2,
unsynchronisation, extended headers, an ID3 tag before a FLAC stream) are made
here by hand from its output. Each sample's expected picture is front.jpg,
except cover.opus's, whose only picture is big.png (of type "other").
"""
import base64
import os
import random
import struct
import sys
import zlib

from mutagen.flac import FLAC, Picture
from mutagen.id3 import APIC, ID3, TIT2
from mutagen.mp4 import MP4, MP4Cover
from mutagen.ogg import OggPage
from mutagen.oggopus import OggOpus
from mutagen.oggvorbis import OggVorbis


def png(width, height, pixel):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    rows = b"".join(b"\0" + b"".join(pixel(x, y) for x in range(width)) for y in range(height))
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows, 9))
            + chunk(b"IEND", b""))


def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def unsynchronise(data):
    out = bytearray()
    for i, byte in enumerate(data):
        out.append(byte)
        if byte == 0xFF and (i + 1 == len(data) or data[i + 1] == 0 or data[i + 1] >= 0xE0):
            out.append(0)
    return bytes(out)


def read(name):
    with open(name, "rb") as f:
        return f.read()


def write(name, data):
    with open(name, "wb") as f:
        f.write(data)


def id3_tag(frames, version):
    """The bytes of an ID3 tag of `frames` as mutagen writes it."""
    write("tag.tmp", b"")
    tags = ID3()
    for frame in frames:
        tags.add(frame)
    tags.save("tag.tmp", v2_version=version, padding=lambda info: 64)
    tag = read("tag.tmp")
    os.remove("tag.tmp")
    return tag


def flac_picture(kind, mime, data):
    picture = Picture()
    picture.type, picture.mime, picture.desc, picture.data = kind, mime, "cover", data
    return picture


def main():
    os.chdir(sys.argv[1])
    noise = random.Random(7)
    write("back.png", png(8, 8, lambda x, y: bytes([x * 32, y * 32, 128])))
    # Large enough that its comment packet runs over several Ogg pages.
    write("big.png", png(128, 128, lambda x, y: bytes(noise.randrange(256) for _ in range(3))))
    front, back, big = read("front.jpg"), read("back.png"), read("big.png")
    audio = read("plain.mp3")

    title = TIT2(encoding=3, text="Tone")
    back_frame = APIC(encoding=0, mime="image/png", type=4, desc="back", data=back)
    # A UTF-16 description: its terminator is two zero bytes.
    front_frame = APIC(encoding=1, mime="image/jpeg", type=3, desc="Front", data=front)
    write("id3v23.mp3", id3_tag([title, back_frame, front_frame], 3) + audio)
    utf8_front = APIC(encoding=3, mime="image/jpeg", type=3, desc="Frönt", data=front)
    v24 = id3_tag([title, utf8_front], 4)
    write("id3v24.mp3", v24 + audio)

    # 2.3 unsynchronises the whole tag after its header, extended header included.
    tag = id3_tag([title, front_frame], 3)
    body = unsynchronise(b"\0\0\0\x06" + b"\0\0" + b"\0\0\0\0" + tag[10:])
    assert len(body) > len(tag) - 10 + 10, "the picture gave unsynchronisation nothing to do"
    write("id3v23-unsync.mp3", b"ID3\x03\x00\xC0" + syncsafe(len(body)) + body + audio)

    # 2.4 unsynchronises frame by frame, with the data length before the data.
    frames, at = b"", 10
    while at < len(v24) and v24[at] != 0:
        size = int.from_bytes(v24[at + 4:at + 8], "big")
        size = (size & 0x7F) | (size >> 8 & 0x7F) << 7 | (size >> 16 & 0x7F) << 14 | (size >> 24) << 21
        kind, flags, data = v24[at:at + 4], v24[at + 8:at + 10], v24[at + 10:at + 10 + size]
        if kind == b"APIC":
            data = syncsafe(len(data)) + unsynchronise(data)
            flags = bytes([flags[0], flags[1] | 0x03])
        frames += kind + syncsafe(len(data)) + flags + data
        at += 10 + size
    body = syncsafe(6) + b"\x01\x00" + frames + b"\0" * 32
    write("id3v24-unsync.mp3", b"ID3\x04\x00\x40" + syncsafe(len(body)) + body + audio)

    def frame22(kind, data):
        return kind + len(data).to_bytes(3, "big") + data

    body = (frame22(b"TT2", b"\0Tone") + frame22(b"PIC", b"\0PNG\0back\0" + back)
            + frame22(b"PIC", b"\0JPG\x03\0" + front) + b"\0" * 32)
    write("id3v22.mp3", b"ID3\x02\x00\x00" + syncsafe(len(body)) + body + audio)

    write("cover.flac", read("plain.flac"))
    flac = FLAC("cover.flac")
    flac.add_picture(flac_picture(4, "image/png", back))
    flac.add_picture(flac_picture(3, "image/jpeg", front))
    flac.save()
    write("id3-before.flac", id3_tag([title], 3) + read("cover.flac"))

    write("cover.m4a", read("plain.m4a"))
    mp4 = MP4("cover.m4a")
    mp4["covr"] = [MP4Cover(front, MP4Cover.FORMAT_JPEG), MP4Cover(back, MP4Cover.FORMAT_PNG)]
    mp4.save()
    data, at, last = read("cover.m4a"), 0, None
    while at < len(data):
        last = data[at + 4:at + 8]
        at += int.from_bytes(data[at:at + 4], "big")
    assert last == b"moov", "moov should stand after the audio"

    def block(kind, mime, data):
        return base64.b64encode(flac_picture(kind, mime, data).write()).decode("ascii")

    write("cover.ogg", read("plain.ogg"))
    vorbis = OggVorbis("cover.ogg")
    vorbis["TITLE"] = "Tone"
    vorbis["METADATA_BLOCK_PICTURE"] = [block(4, "image/png", back), block(3, "image/jpeg", front)]
    vorbis.save()
    write("cover.opus", read("plain.opus"))
    opus = OggOpus("cover.opus")
    opus["metadata_block_picture"] = [block(0, "image/png", big)]
    opus.save()
    with open("cover.opus", "rb") as f:
        pages = [OggPage(f) for _ in range(4)]
    assert any(page.continued for page in pages), "the comment packet should span pages"


main()

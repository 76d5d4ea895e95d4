#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpus into tests/fuzz/seeds/<target>/.

Each seed is a flags byte, the target's texts (each ending in a zero byte)
and the volume's nonzero sectors as records: a 4-byte little-endian sector
number and the sector's 512 bytes (the input form tests/fuzz/fuzz_input.h
reads). The volumes are real ones made with mkfs.fat and mtools, and crafted
ones for what tools cannot make: a lattice of twin subdirectory entries, a
looping root chain, a directory chain through the whole FAT, huge sizes.
Run it again only to change the seeds; the files it writes are committed.
"""
import os
import struct
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SEEDS = os.path.join(ROOT, "tests", "fuzz", "seeds")
E5 = b"\xe5"


def records(image):
    out = bytearray()
    for n in range(len(image) // 512):
        sector = image[n * 512:(n + 1) * 512]
        if any(sector):
            out += struct.pack("<I", n) + sector
    return bytes(out)


def seed(flags, texts, image):
    return bytes([flags]) + b"".join(t + b"\0" for t in texts) + records(image)


def mtools(image_path, *commands, fat=32, mib=33):
    subprocess.run(["mkfs.fat", "-F", str(fat), "-s", "1", "-C", image_path, str(mib * 1024)],
                   check=True, capture_output=True)
    return mtools_more(image_path, *commands)


def mtools_more(image_path, *commands):
    """Runs mtools commands on the image; volume paths are written ::/PATH."""
    env = dict(os.environ, MTOOLS_SKIP_CHECK="1")
    for tool, *args in commands:
        subprocess.run([tool, "-i", image_path] + list(args), check=True, capture_output=True, env=env)
    with open(image_path, "rb") as f:
        return bytearray(f.read())


def set_hint(image, cluster):
    fsinfo = struct.unpack_from("<H", image, 48)[0]
    struct.pack_into("<I", image, fsinfo * 512 + 492, cluster)


class Crafted:
    """A small FAT32 volume laid out by hand: 512-byte clusters, 1000 of them."""

    def __init__(self, clusters=1000):
        self.reserved, self.fats, self.clusters = 32, 2, clusters
        self.fat_sectors = (clusters + 2) * 4 // 512 + 1
        self.data = self.reserved + self.fats * self.fat_sectors
        total = self.data + clusters
        self.image = bytearray(total * 512)
        boot = self.image
        boot[0:3] = b"\xeb\x58\x90"
        boot[3:11] = b"MSWIN4.1"
        struct.pack_into("<HBHBHHBHHHII", boot, 11, 512, 1, self.reserved, self.fats, 0, 0,
                         0xF8, 0, 32, 64, 0, total)
        struct.pack_into("<IHHIHH", boot, 36, self.fat_sectors, 0, 0, 2, 1, 6)
        boot[82:90] = b"FAT32   "
        boot[510:512] = b"\x55\xaa"
        self.fat(0, 0x0FFFFFF8).fat(1, 0x0FFFFFFF).fat(2, 0x0FFFFFFF)

    def fat(self, cluster, value):
        for copy in range(self.fats):
            struct.pack_into("<I", self.image, (self.reserved + copy * self.fat_sectors) * 512 + cluster * 4, value)
        return self

    def entry(self, cluster, index, name11, attr, first, size):
        at = (self.data + cluster - 2) * 512 + index * 32
        self.image[at:at + 11] = name11
        self.image[at + 11] = attr
        struct.pack_into("<H", self.image, at + 20, first >> 16)
        struct.pack_into("<HI", self.image, at + 26, first & 0xFFFF, size)
        return self

    def fill(self, cluster, byte):
        at = (self.data + cluster - 2) * 512
        self.image[at:at + 512] = bytes([byte]) * 512
        return self


def name(base, ext=b""):
    return base.ljust(8) + ext.ljust(3)


def volumes(work):
    vols = {}
    text = os.path.join(work, "text")
    with open(text, "wb") as f:
        f.write(b"Quorvane fuzz seed: a few bytes of a recovered file.\n" * 20)
    img = os.path.join(work, "real.img")
    real = (("mmd", "::/DOCS"), ("mmd", "::/DOCS/OLD"), ("mmd", "::/GONE"), ("mmd", "::/GONE/SUB"),
            ("mcopy", text, "::/DOCS/REPORT.TXT"), ("mcopy", text, "::/DOCS/Long file name.txt"),
            ("mcopy", text, "::/DOCS/OLD/NOTES.TXT"), ("mcopy", text, "::/GONE/SUB/DEEP.TXT"),
            ("mcopy", text, "::/MAKEFILE"), ("mdel", "::/DOCS/REPORT.TXT"),
            ("mdel", "::/DOCS/Long file name.txt"), ("mdel", "::/DOCS/OLD/NOTES.TXT"), ("mdel", "::/MAKEFILE"),
            ("mdeltree", "::/GONE"))
    vols["real"] = mtools(img, *real)
    # The same on FAT12 and FAT16: a fixed root region, 12- and 16-bit entries.
    vols["fat12"] = mtools(os.path.join(work, "fat12.img"), *real, fat=12, mib=2)
    vols["fat16"] = mtools(os.path.join(work, "fat16.img"), *real, fat=16, mib=16)

    # Deleted directories whose first clusters a live directory holds now.
    reuse = os.path.join(work, "reuse.img")
    image = mtools(reuse, ("mmd", "::/P1"), ("mmd", "::/P2"))
    for parent in (b"/P1", b"/P2"):
        set_hint(image, 3000)
        with open(reuse, "wb") as f:
            f.write(image)
        image = mtools_more(reuse, ("mmd", "::" + parent.decode() + "/TMP"),
                            ("mcopy", text, "::" + parent.decode() + "/TMP/F.TXT"),
                            ("mdeltree", "::" + parent.decode() + "/TMP"))
    set_hint(image, 3000)
    with open(reuse, "wb") as f:
        f.write(image)
    vols["reuse"] = mtools_more(reuse, ("mmd", "::/LIVE"), ("mcopy", text, "::/LIVE/F.TXT"),
                                ("mdel", "::/LIVE/F.TXT"))

    ladder = Crafted()
    for level in range(27):
        here, nxt = (2 if level == 0 else 10 + level - 1), 10 + level
        ladder.entry(here, 0, name(b"A"), 0x10, nxt, 0).entry(here, 1, name(b"B"), 0x10, nxt, 0)
        ladder.entry(here, 2, name(E5 + b"L%d" % level, b"TXT"), 0x20, 500 + level, 100).fat(nxt, 0x0FFFFFFF)
    vols["ladder"] = ladder.image

    loop = Crafted().fat(2, 3).fat(3, 2)
    loop.entry(2, 0, name(E5 + b"ROOT", b"TXT"), 0x20, 40, 700).entry(3, 0, name(b"SELF"), 0x10, 2, 0)
    loop.entry(3, 1, name(E5 + b"BACK"), 0x10, 3, 0)
    vols["loop"] = loop.image

    whole = Crafted()
    for c in range(2, whole.clusters + 1):
        whole.fat(c, c + 1)
    whole.fat(whole.clusters + 1, 0x0FFFFFFF)
    for c in (2, 500, 999):
        whole.entry(c, 0, name(E5 + b"HUGE", b"BIN"), 0x20, 5, 0xFFFFFFF0)
        whole.entry(c, 1, name(b"D%d" % c), 0x10, c + 1, 0)
    vols["whole-fat-chain"] = whole.image

    sizes = Crafted()
    sizes.entry(2, 0, name(E5 + b"BIG", b"BIN"), 0x20, 900, 0x7FFFFFFF).fill(900, 0x41)
    sizes.entry(2, 1, name(E5 + b"PAST", b"BIN"), 0x20, 0x0FFFFFF0, 5000)
    sizes.entry(2, 2, name(E5 + b"ZERO", b"BIN"), 0x20, 0, 100)
    sizes.entry(2, 3, name(b"SUB", b"DIR"), 0x10, 20, 0).fat(20, 0x0FFFFFFF)
    sizes.entry(2, 4, name(b"a\\b"), 0x10, 21, 0).fat(21, 0x0FFFFFFF)
    vols["sizes"] = sizes.image
    return vols


def main():
    with tempfile.TemporaryDirectory() as work:
        vols = volumes(work)
    row = b"C:\\DOCS    \\" + E5 + b"EPORT  .TXT"
    headers = {
        "boot_layout_fuzzer": [(0, [b"C:\\DOCS\\OLD"]), (0, [b"c:\\docs"])],
        "search_fuzzer": [(0x07, [b"C:", b"", b"", b""]), (0x3B, [b"C:\\DOCS", b"rep", b"txt", b"gone"]),
                          (0x01, [b"A:\\", b"", b"", b""])],
        "undelete_fuzzer": [(0x00, [b"C:\\DOCS\\REPORT.TXT", b""]), (0x01, [row, b"XEPORT  .TXT"]),
                            (0x02, [b"C:NOSUCHDIR\\GONE.TXT", b""])],
    }
    for target, variants in headers.items():
        directory = os.path.join(SEEDS, target)
        os.makedirs(directory, exist_ok=True)
        for vol_name, image in vols.items():
            for i, (flags, texts) in enumerate(variants):
                with open(os.path.join(directory, "%s-%d" % (vol_name, i)), "wb") as f:
                    f.write(seed(flags, texts, image))
    print("seeds written under", SEEDS)


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpus into tests/fuzz/seeds/<target>/.

Each seed is a flags byte, the target's texts (each ending in a zero byte)
and the volume's nonzero sectors as records: a 4-byte little-endian sector
number and the sector's 512 bytes (the input form tests/fuzz/fuzz_input.h
reads). The volumes are real ones made with mkfs.fat and mtools, and crafted
ones for what tools cannot make: a lattice of twin subdirectory entries, a
looping root chain, a directory chain through the whole FAT, huge sizes.
Run it again only to change the seeds; the files it writes are committed.

The partition table target's seeds are whole small disks instead (64 KiB):
tables written by sfdisk with partitions a few sectors long, real boot
sectors of mkfs.fat and mkfs.exfat volumes at their starts, and crafted
tables for what sfdisk does not write (a looping EBR chain, a long one, a
GPT of 4096-byte sectors, a damaged primary GPT header).

Usage: make-fuzz-seeds.py [TARGET...]   (all targets when none is named)
"""
import os
import struct
import subprocess
import sys
import tempfile
import time
import zlib

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


DISK = 64 * 1024
BASIC_DATA = "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7"


def boot_sectors(work):
    """The first sectors of real FAT12, FAT16, FAT32 and exFAT volumes."""
    sectors = {}
    for family, args, kib in (("FAT12", ["-F", "12"], 1440), ("FAT16", ["-F", "16", "-s", "2"], 8192),
                              ("FAT32", ["-F", "32", "-s", "1"], 33 * 1024)):
        path = os.path.join(work, family + ".img")
        subprocess.run(["mkfs.fat"] + args + ["-i", "51DE5EED", "-n", family, "-C", path, str(kib)],
                       check=True, capture_output=True)
        with open(path, "rb") as f:
            sectors[family] = f.read(512)
    path = os.path.join(work, "exfat.img")
    with open(path, "wb") as f:
        f.truncate(4 * 1024 * 1024)
    subprocess.run(["mkfs.exfat", "-b", "4096", path], check=True, capture_output=True)
    with open(path, "rb") as f:
        sectors["exFAT"] = f.read(512)
    return sectors


def sfdisk_disk(work, name, script):
    path = os.path.join(work, name)
    with open(path, "wb") as f:
        f.truncate(DISK)
    subprocess.run(["sfdisk", "-q", path], input=script.encode(), check=True, capture_output=True)
    with open(path, "rb") as f:
        return bytearray(f.read())


def put(disk, lba, sector):
    disk[lba * 512:lba * 512 + len(sector)] = sector


def mbr_slot(disk, lba, index, kind, start, sectors):
    struct.pack_into("<B3xB3xII", disk, lba * 512 + 446 + index * 16, 0, kind, start, sectors)
    disk[lba * 512 + 510:lba * 512 + 512] = b"\x55\xaa"


def guid_bytes(text):
    parts = text.split("-")
    return (struct.pack("<IHH", int(parts[0], 16), int(parts[1], 16), int(parts[2], 16))
            + bytes.fromhex(parts[3] + parts[4]))


def gpt_4096(boot):
    """A GPT of 4096-byte sectors in 16 of them: header at LBA 1, four
    entries at LBA 2, partitions at LBA 3-7 and 8-12, the backup array at
    LBA 14 and the backup header at LBA 15."""
    size = 4096
    disk = bytearray(DISK)
    mbr_slot(disk, 0, 0, 0xEE, 1, DISK // size - 1)
    entries = bytearray(4 * 128)
    for index, (first, last) in enumerate(((3, 7), (8, 12))):
        entries[index * 128:index * 128 + 16] = guid_bytes(BASIC_DATA)
        entries[index * 128 + 16:index * 128 + 32] = bytes(range(index * 16, index * 16 + 16))
        struct.pack_into("<QQ", entries, index * 128 + 32, first, last)
        disk[first * size:first * size + 512] = boot["FAT12" if index == 0 else "exFAT"]
    for lba, other, array in ((1, 15, 2), (15, 1, 14)):
        header = bytearray(92)
        header[0:8] = b"EFI PART"
        struct.pack_into("<IIIIQQQQ16sQIII", header, 8, 0x10000, 92, 0, 0, lba, other, 3, 13,
                         bytes(range(16)), array, 4, 128, zlib.crc32(entries))
        struct.pack_into("<I", header, 16, zlib.crc32(header))
        disk[lba * size:lba * size + 92] = header
        disk[array * size:array * size + len(entries)] = entries
    return disk


def partition_disks(work):
    boot = boot_sectors(work)
    disks = {}
    # 1 FAT32, 2 empty Linux, 3 extended: 5 FAT16, 6 a FAT32 type with
    # nothing behind it, 7 a Linux type with FAT12 behind it.
    mbr = sfdisk_disk(work, "mbr.img", "label: dos\nstart=4, size=24, type=c\nstart=28, size=4, type=83\n"
                                       "start=32, size=96, type=5\nstart=34, size=30, type=6\n"
                                       "start=66, size=10, type=b\nstart=80, size=40, type=83\n")
    for lba, family in ((4, "FAT32"), (34, "FAT16"), (80, "FAT12")):
        put(mbr, lba, boot[family])
    disks["mbr-logicals"] = mbr
    loop = bytearray(mbr)
    mbr_slot(loop, 79, 1, 0x05, 0, 96)  # the last EBR links back to the first
    disks["mbr-loop"] = loop
    chain = bytearray(DISK)
    mbr_slot(chain, 0, 0, 0x0F, 2, 126)
    for k in range(63):
        mbr_slot(chain, 2 + 2 * k, 0, 0x0C, 1, 1)
        mbr_slot(chain, 2 + 2 * k, 1, 0x05, 2 * (k + 1), 2)
    put(chain, 3, boot["FAT12"])
    disks["mbr-chain"] = chain

    gpt = sfdisk_disk(work, "gpt.img", "label: gpt\nfirst-lba: 34\nstart=34, size=30, type=%s\n"
                                       "start=64, size=8, type=0FC63DAF-8483-4772-8E79-3D69D8477DE4\n"
                                       "start=72, size=20\n" % BASIC_DATA)
    for lba, family in ((34, "FAT32"), (72, "exFAT")):
        put(gpt, lba, boot[family])
    disks["gpt"] = gpt
    backup_only = bytearray(gpt)
    put(backup_only, 1, bytes(512))  # the primary header gone: the backup at the last sector
    disks["gpt-backup"] = backup_only
    disks["gpt-4096"] = gpt_4096(boot)

    floppy = os.path.join(work, "FAT12.img")
    with open(floppy, "rb") as f:
        disks["superfloppy"] = f.read(DISK)
    return disks


def exfat_directories(work):
    """Directories of a real exFAT volume (512-byte clusters) written and
    partly deleted through exfat-fuse, each as its clusters' bytes in order:
    sets run across clusters, live and deleted, names past ASCII. Needs
    root, a loop device and FUSE; none without them."""
    if os.geteuid() != 0:
        print("exfat_entry_set_fuzzer: no seeds made (needs root for a loop device)")
        return {}
    img = os.path.join(work, "exfat.img")
    with open(img, "wb") as f:
        f.truncate(16 << 20)
    subprocess.run(["mkfs.exfat", "-c", "512", "-L", "Seeds", img], check=True, capture_output=True)
    loop = subprocess.run(["losetup", "-f", "--show", img], check=True, capture_output=True,
                          text=True).stdout.strip()
    mnt = os.path.join(work, "mnt")
    os.makedirs(mnt)
    try:
        subprocess.run(["mount.exfat-fuse", loop, mnt], check=True, capture_output=True)
        try:
            for name, size in (("keep.bin", 3000), ("gone.bin", 5000)):
                with open(os.path.join(mnt, name), "wb") as f:
                    f.write(b"k" * size)
            for r in range(4):
                for name in ("frag1.bin", "frag2.bin"):
                    with open(os.path.join(mnt, name), "ab") as f:
                        f.write(b"f" * 1500)
            os.makedirs(os.path.join(mnt, "Café", "Old"))
            for name in ("日記.txt", "A long name that needs five name entries, which is past seventy units.txt",
                         "emoji \U0001F600.txt", "Old/a.txt"):
                with open(os.path.join(mnt, "Café", name), "wb") as f:
                    f.write(b"n" * 700)
            for name in ("gone.bin", "frag2.bin", "Café/Old/a.txt"):
                os.remove(os.path.join(mnt, name))
            os.rmdir(os.path.join(mnt, "Café", "Old"))
            os.sync()
        finally:
            subprocess.run(["umount", mnt], check=True)
    finally:
        subprocess.run(["losetup", "-d", loop], check=True)
        while subprocess.run(["losetup", "-j", img], capture_output=True, text=True).stdout:
            time.sleep(0.05)
    with open(img, "rb") as f:
        image = f.read()
    fat, _, heap, _, root = struct.unpack_from("<5I", image, 80)

    def cluster(c):
        return image[(heap + c - 2) * 512:(heap + c - 1) * 512]

    def chain(c):
        out = []
        while 2 <= c < 0xFFFFFFF7 and len(out) < 64:
            out.append(c)
            c = struct.unpack_from("<I", image, fat * 512 + c * 4)[0]
        return out

    dirs = {"root": b"".join(cluster(c) for c in chain(root))}
    # Café: the one directory with a File entry of attribute 0x10 named so.
    at = dirs["root"].find("Café".encode("utf-16-le")) - 2
    stream = dirs["root"][at - 32:at]
    first, length = struct.unpack_from("<IQ", stream, 20)
    count = (length + 511) // 512
    clusters = range(first, first + count) if stream[1] & 2 else chain(first)
    dirs["cafe"] = b"".join(cluster(c) for c in clusters)
    return dirs


def main():
    wanted = set(sys.argv[1:])
    if "partition_table_fuzzer" in wanted or not wanted:
        directory = os.path.join(SEEDS, "partition_table_fuzzer")
        os.makedirs(directory, exist_ok=True)
        with tempfile.TemporaryDirectory() as work:
            for name, disk in partition_disks(work).items():
                with open(os.path.join(directory, name), "wb") as f:
                    f.write(disk)
        if wanted == {"partition_table_fuzzer"}:
            print("seeds written under", directory)
            return 0
    with tempfile.TemporaryDirectory() as work:
        vols = volumes(work)
        exfat_dirs = exfat_directories(work)
    directory = os.path.join(SEEDS, "exfat_entry_set_fuzzer")
    os.makedirs(directory, exist_ok=True)
    # The first byte: 16 entries to a cluster (512 bytes), taken after each
    # entry; or at cluster boundaries (0x80).
    for name, entries in (exfat_dirs.items() if not wanted or "exfat_entry_set_fuzzer" in wanted else ()):
        for i, first in enumerate((0x04, 0x84)):
            with open(os.path.join(directory, "%s-%d" % (name, i)), "wb") as f:
                f.write(bytes([first]) + entries)
    row = b"C:\\DOCS    \\" + E5 + b"EPORT  .TXT"
    headers = {
        "boot_layout_fuzzer": [(0, [b"C:\\DOCS\\OLD"]), (0, [b"c:\\docs"])],
        "search_fuzzer": [(0x07, [b"C:", b"", b"", b""]), (0x3B, [b"C:\\DOCS", b"rep", b"txt", b"gone"]),
                          (0x01, [b"A:\\", b"", b"", b""])],
        "undelete_fuzzer": [(0x00, [b"C:\\DOCS\\REPORT.TXT", b""]), (0x01, [row, b"XEPORT  .TXT"]),
                            (0x02, [b"C:NOSUCHDIR\\GONE.TXT", b""])],
    }
    for target, variants in headers.items():
        if wanted and target not in wanted:
            continue
        directory = os.path.join(SEEDS, target)
        os.makedirs(directory, exist_ok=True)
        for vol_name, image in vols.items():
            for i, (flags, texts) in enumerate(variants):
                with open(os.path.join(directory, "%s-%d" % (vol_name, i)), "wb") as f:
                    f.write(seed(flags, texts, image))
    print("seeds written under", SEEDS)


if __name__ == "__main__":
    sys.exit(main())

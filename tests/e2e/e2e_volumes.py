"""The volumes the end-to-end tests read: real FAT32 images made with mkfs.fat
and changed with mtools, deleted as the old systems deleted (first byte
0xE5, chain freed, cluster words and size kept)."""
import hashlib
import io
import os
import re
import struct
import subprocess
import zipfile

from x_session import ROOT

MTOOLS_ENV = dict(os.environ, MTOOLS_SKIP_CHECK="1")


def _mtools(tool, image, *args):
    subprocess.run([tool, "-i", image] + list(args), env=MTOOLS_ENV, check=True,
                   capture_output=True)


def pattern(size, seed):
    data = bytearray()
    counter = 0
    while len(data) < size:
        data += hashlib.sha256(b"%d:%d" % (seed, counter)).digest()
        counter += 1
    return bytes(data[:size])


ORPHAN_NAME = "LOST1.TXT"


def make_small_volume(image, host_dir):
    """40 MiB, 512-byte clusters. Returns ({stored name tail: original bytes}
    of the deleted files, the first cluster of the orphan directory); a
    recovered file's name is the stored one with 'X' for the deleted mark.
    ORPH/A/OLD, deleted with ORPHAN_NAME in it, is an orphan: NEWER.TXT,
    written after everything, took its entry in ORPH/A, so only a search
    that looks for lost folders finds the file."""
    subprocess.run(["mkfs.fat", "-F", "32", "-s", "1", "-n", "E2E", "-C", image, "40960"],
                   check=True, capture_output=True)
    with open(os.path.join(ROOT, "res", "pictures", "150.png"), "rb") as picture:
        banner = picture.read()
    files = {
        "NOTES.TXT": b"Quorvane end-to-end notes\r\nDeleted from the root directory.\r\n",
        "DOCS/REPORT.TXT": b"".join(b"Line %05d of the quarterly report.\r\n" % i
                                    for i in range(1400)),
        "DOCS/LETTER.TXT": b"A live letter: never listed.\r\n",
        "PHOTOS/BANNER.PNG": banner,
        "ARCHIVE/OLD/PLAN.TXT": pattern(3000, 7),
        "ARCHIVE/KEEP.TXT": b"kept\r\n",
        "ORPH/A/OLD/" + ORPHAN_NAME: pattern(700, 41),
    }
    for directory in ("DOCS", "PHOTOS", "ARCHIVE", "ARCHIVE/OLD", "ORPH", "ORPH/A", "ORPH/A/OLD"):
        _mtools("mmd", image, "::/" + directory)
    for index, (path, data) in enumerate(files.items()):
        host = os.path.join(host_dir, "source%d" % index)
        with open(host, "wb") as out:
            out.write(data)
        _mtools("mcopy", image, host, "::/" + path)
    for path in ("NOTES.TXT", "DOCS/REPORT.TXT", "PHOTOS/BANNER.PNG"):
        _mtools("mdel", image, "::/" + path)
    _mtools("mdeltree", image, "::/ARCHIVE/OLD")
    orphan = _first_cluster(image, "ORPH/A/OLD")
    _mtools("mdeltree", image, "::/ORPH/A/OLD")
    # Far past every cluster written, so that none of OLD's is reused.
    _set_next_free_cluster(image, 40000)
    host = os.path.join(host_dir, "newer")
    with open(host, "wb") as out:
        out.write(b"Written after the folder was deleted.\r\n")
    _mtools("mcopy", image, host, "::/ORPH/A/NEWER.TXT")
    return {path.rsplit("/", 1)[-1][1:]: files[path]
            for path in ("NOTES.TXT", "DOCS/REPORT.TXT", "PHOTOS/BANNER.PNG",
                         "ARCHIVE/OLD/PLAN.TXT", "ORPH/A/OLD/" + ORPHAN_NAME)}, orphan


def _first_cluster(image, path):
    """The first cluster of `path`, from mshowfat's "::/PATH <first-last> ..."."""
    shown = subprocess.run(["mshowfat", "-i", image, "::/" + path], env=MTOOLS_ENV, check=True,
                           capture_output=True, text=True).stdout
    return int(re.search(r"<(\d+)", shown).group(1))


def _set_next_free_cluster(image, cluster):
    """mtools takes the first free cluster after the FSInfo next-free hint."""
    with open(image, "r+b") as volume:
        (fs_info,) = struct.unpack_from("<H", volume.read(512), 48)
        volume.seek(fs_info * 512 + 492)
        volume.write(struct.pack("<I", cluster))


BIG_SIZE = 1900 * 1024 * 1024  # under 2 GiB: the search lists sizes up to 2^31 - 1


BIG_COMPANIONS = {  # name: bytes
    "ONE.TXT": pattern(9000, 21),
    "TWO.TXT": pattern(30000, 22),
}


def make_big_volume(image, host_dir):
    """A 4 GiB sparse volume whose deleted BIG.BIN claims 1.9 GiB: a copy long
    enough to watch and abort. Its clusters are free and read as zeros. Two
    small deleted files follow it in the root directory (ONE.TXT, TWO.TXT:
    BIG_COMPANIONS), so a search lists them above it."""
    subprocess.run(["mkfs.fat", "-F", "32", "-s", "8", "-n", "BIG", "-C", image, "4194304"],
                   check=True, capture_output=True)
    host = os.path.join(host_dir, "big-start")
    with open(host, "wb") as out:
        out.write(bytes(65536))
    _mtools("mcopy", image, host, "::/BIG.BIN")
    for name, data in BIG_COMPANIONS.items():
        host = os.path.join(host_dir, "big-" + name)
        with open(host, "wb") as out:
            out.write(data)
        _mtools("mcopy", image, host, "::/" + name)
    for name in ["BIG.BIN"] + list(BIG_COMPANIONS):
        _mtools("mdel", image, "::/" + name)
    # The root directory lies past the FATs, well within the first 16 MiB.
    with open(image, "r+b") as volume:
        entry = volume.read(16 << 20).find(b"\xe5IG     BIN")
        if entry < 0 or entry % 32:
            raise AssertionError("BIG.BIN's entry not found")
        volume.seek(entry + 28)
        volume.write(struct.pack("<I", BIG_SIZE))


def image_digest(image):
    """A digest of the image's data regions and its size: cheap on a sparse 4 GiB image."""
    digest = hashlib.sha256()
    with open(image, "rb") as volume:
        fd, position = volume.fileno(), 0
        size = os.fstat(fd).st_size
        while position < size:
            try:
                start = os.lseek(fd, position, os.SEEK_DATA)
            except OSError:  # only a hole is left
                break
            position = os.lseek(fd, start, os.SEEK_HOLE)
            volume.seek(start)
            digest.update(b"%d:" % start)
            while volume.tell() < position:
                digest.update(volume.read(min(1 << 20, position - volume.tell())))
    digest.update(b"size:%d" % size)
    return digest.hexdigest()


def _docx(title):
    """A small ZIP-based document, as an office program writes one."""
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", zipfile.ZIP_DEFLATED) as document:
        document.writestr("[Content_Types].xml",
                          '<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/'
                          'package/2006/content-types"/>')
        document.writestr("word/document.xml",
                          "<w:document><w:body><w:p><w:t>%s</w:t></w:p></w:body></w:document>"
                          % title)
        document.writestr("word/media/noise.bin", pattern(6000, 11))  # stored past a cluster
    return buffer.getvalue()


NT_DELETED = {  # long name: stored short name without its first letter
    "Letter to the bank.docx": "ETTER~1.DOC",
    "Meeting notes.txt": "EETIN~1.TXT",
}


def make_nt_deleted_volume(image, host_dir):
    """40 MiB in 512-byte clusters (about 81,000 of them), as a delete of the
    Windows NT family leaves it: two long-named files past cluster 65,536,
    deleted, with the high word of their first clusters cleared. The low
    word alone points into a live file, so only the rebuilt cluster gives
    the original bytes back. Returns {long name: (original bytes, the first
    cluster the file had before its high word was cleared)}."""
    subprocess.run(["mkfs.fat", "-F", "32", "-s", "1", "-n", "NT", "-C", image, "40960"],
                   check=True, capture_output=True)
    host = os.path.join(host_dir, "fill")
    with open(host, "wb") as out:
        out.write(pattern(3 << 20, 3))  # clusters 3 up to about 6,150
    _mtools("mcopy", image, host, "::/FILL.BIN")
    files = {
        "Letter to the bank.docx": _docx("Dear bank"),
        "Meeting notes.txt": b"".join(b"Item %03d: agreed.\r\n" % i for i in range(300)),
    }
    _set_next_free_cluster(image, 70000)
    for index, (name, data) in enumerate(files.items()):
        host = os.path.join(host_dir, "nt%d" % index)
        with open(host, "wb") as out:
            out.write(data)
        _mtools("mcopy", image, host, "::/" + name)
    for name in files:
        _mtools("mdel", image, "::/" + name)
    clusters = _clear_high_words_of_deleted_root_entries(image)
    return {name: (data, clusters[NT_DELETED[name]]) for name, data in files.items()}


def _clear_high_words_of_deleted_root_entries(image):
    """Clears the high word of each deleted short entry in the root directory;
    returns {short name without its first letter: the whole first cluster}."""
    with open(image, "r+b") as volume:
        boot = volume.read(512)
        sector_bytes, cluster_sectors, reserved, fats = struct.unpack_from("<HBHB", boot, 11)
        fat_sectors, root_cluster = struct.unpack_from("<I", boot, 36)[0], \
            struct.unpack_from("<I", boot, 44)[0]
        cluster_bytes = sector_bytes * cluster_sectors
        root = (reserved + fats * fat_sectors) * sector_bytes + (root_cluster - 2) * cluster_bytes
        volume.seek(root)
        entries = volume.read(cluster_bytes)  # the root's first cluster holds them all
        clusters = {}
        for offset in range(0, cluster_bytes, 32):
            entry = entries[offset:offset + 32]
            if entry[0] == 0xE5 and entry[11] != 0x0F:
                high, low = struct.unpack_from("<H", entry, 20)[0], struct.unpack_from("<H", entry, 26)[0]
                if high == 0:
                    raise AssertionError("a deleted file below cluster 65,536")
                name = entry[1:8].decode().rstrip() + "." + entry[8:11].decode().rstrip()
                clusters[name] = high << 16 | low
                volume.seek(root + offset + 20)
                volume.write(b"\0\0")
        if sorted(clusters) != sorted(NT_DELETED.values()):
            raise AssertionError(f"deleted entries {sorted(clusters)}")
        return clusters

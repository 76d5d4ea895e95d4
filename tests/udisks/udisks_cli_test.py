#!/usr/bin/env python3
"""quorvane-cli with no drive arguments against UDisks2: the real program on
a private bus with the UDisks2 stand-in, over real FAT32 images made with
mkfs.fat and mtools. Each case starts its own buses and checks what the
program prints and its exit status.

Usage: udisks_cli_test.py --cli build/quorvane-cli CASE|list
"""
import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "e2e"))

from e2e_volumes import image_digest, make_small_volume  # noqa: E402
from udisks_bus import PrivateSystemBus, TestFailure  # noqa: E402

FROM_UDISKS = b"quorvane-cli: drives from UDisks2 on the system bus; volumes are opened through it\n"
FROM_BLKID = b"quorvane-cli: drives from libblkid (UDisks2 did not answer: "


def expect(condition, message):
    if not condition:
        raise TestFailure(message)


def expect_equal(got, wanted, what):
    expect(got == wanted, f"{what}:\n  got    {got!r}\n  wanted {wanted!r}")


class Case:
    def __init__(self, cli, work):
        self.cli = cli
        self.work = work
        self.image = os.path.join(work, "card.img")
        self.originals, _ = make_small_volume(self.image, work)
        self.digest = image_digest(self.image)

    def run(self, args, bus=None, env=None):
        """quorvane-cli ARGS with `bus` as the system bus: (status, stdout, stderr)."""
        done = subprocess.run([self.cli] + args, env=env or (bus.env if bus else None),
                              capture_output=True, timeout=60)
        return done.returncode, done.stdout, done.stderr

    def fat32(self, name, **more):
        return dict(name=name, image=self.image, id_type="vfat", id_version="FAT32", **more)

    def close(self):
        expect(image_digest(self.image) == self.digest, "the volume changed")


def case_discovery(case):
    """Which of the daemon's block devices become drives, in which order,
    with what; and when its table is not used."""
    mib = 1024 ** 2
    blocks = [
        case.fat32("sdb10", label="CARD", mount_points=["/media/alice/CARD"],
                   partition=dict(number=10, offset=900 * mib)),
        dict(name="sdb"),  # the whole disk: no file system
        dict(name="sdb1", image=case.image, id_type="ext4", id_version="1.0",
             partition=dict(number=1, offset=mib, type="0x83")),
        dict(name="sdb3", image=case.image, id_type="vfat", id_version="FAT16", label="OLD",
             partition=dict(number=3, offset=300 * mib, type="0x06")),
        case.fat32("sdb4", hint_ignore=True, partition=dict(number=4, offset=400 * mib)),
        case.fat32("sdb2", size=7 * 1024 ** 3 + 512 * 1024 ** 2, partition=dict(number=2, offset=2 * mib)),
        dict(name="sdb5", image=case.image, id_type="exfat", id_version="1.0", size=64 * mib,
             partition=dict(number=5, offset=600 * mib, type="0x07")),
        # A card formatted without a partition table: the whole disk is the volume.
        dict(name="sdd", image=case.image, id_type="vfat", id_version="FAT12", size=mib),
        # A label is the volume's to choose, and a desktop names the mount point after it.
        case.fat32("mmcblk0p1", label="PHONE\nZ: /", mount_points=["/media/alice/PHONE\nZ: /"],
                   partition=dict(number=1, offset=4 * mib)),
    ]
    with PrivateSystemBus(blocks) as bus:
        status, table, note = case.run(["drives"], bus)
        expect_equal(status, 0, "drives' status")
        expect_equal(note, FROM_UDISKS, "drives' note")
        expect_equal(table, b'C: /dev/mmcblk0p1 "PHONE?Z: /" FAT32 40.0 MiB partition 1 at 4194304 '
                            b'(mounted on /media/alice/PHONE?Z: /)\n'
                            b"D: /dev/sdb2 FAT32 7.5 GiB partition 2 at 2097152\n"
                            b'E: /dev/sdb3 "OLD" FAT16 40.0 MiB partition 3 at 314572800\n'
                            b"F: /dev/sdb5 exFAT 64.0 MiB partition 5 at 629145600\n"
                            b'G: /dev/sdb10 "CARD" FAT32 40.0 MiB partition 10 at 943718400 '
                            b'(mounted on /media/alice/CARD)\n'
                            b"H: /dev/sdd FAT12 1.0 MiB\n",
                     "the drive table")
        # UDisks2 told each family: no volume was opened (which may ask for a password).
        expect_equal([call["method"] for call in bus.calls()], ["GetManagedObjects"],
                     "calls made to list the drives")
        # Drive arguments win: the daemon is not asked.
        for args, letter in ((["--drive", "D:=" + case.image], b"D"), ([case.image], b"C")):
            status, table, note = case.run(args + ["drives"], bus)
            expect_equal((status, table, note),
                         (0, letter + b": " + case.image.encode() + b' "E2E" FAT32 40.0 MiB\n', b""),
                         f"drives with {args}")
        expect_equal(len(bus.calls()), 1, "calls made with drive arguments")

    # A FAT volume whose FAT UDisks2 does not name is opened through it, and
    # its boot sector tells.
    with PrivateSystemBus([dict(name="sde1", image=case.image, id_type="vfat", label="E2E",
                                partition=dict(number=1, offset=1024 ** 2))]) as bus:
        status, table, _ = case.run(["drives"], bus)
        expect_equal((status, table), (0, b'C: /dev/sde1 "E2E" FAT32 40.0 MiB partition 1 at 1048576\n'),
                     "the table of a FAT volume of no known FAT")
        expect_equal([call["method"] for call in bus.calls()], ["GetManagedObjects", "OpenDevice"],
                     "calls made to read its boot sector")

    # No UDisks2 on the bus, no bus, a daemon that never answers: libblkid
    # makes the table, and the note says why.
    with PrivateSystemBus() as bare, PrivateSystemBus(blocks, silent=True) as silent:
        for what, env, reason in (
                ("no daemon", bare.env, b"org.freedesktop.UDisks2"),
                ("no bus", dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS="unix:path=" + case.work + "/none"),
                 b"no system bus"),
                ("a silent daemon", silent.env, b" time")):
            started = time.monotonic()
            status, _, note = case.run(["drives"], env=env)
            expect_equal(status, 0, f"drives' status with {what}")
            expect(note.startswith(FROM_BLKID) and reason in note, f"note with {what}: {note!r}")
            expect(time.monotonic() - started < 15, f"{what}: the program waited too long")


def case_blkid_loop_device(case):
    """Without UDisks2, as root: the image attached as a read-only loop
    device is found by libblkid and read as the image mapped by hand."""
    if os.geteuid() != 0 or not shutil.which("losetup"):
        print("blkid_loop_device: skipped (needs root and losetup)")
        return
    attached = subprocess.run(["losetup", "--find", "--show", "--read-only", case.image],
                              capture_output=True, text=True)
    if attached.returncode != 0:
        print(f"blkid_loop_device: skipped (no loop device: {attached.stderr.strip()})")
        return
    device = attached.stdout.strip()
    try:
        with PrivateSystemBus() as bare:
            status, table, note = case.run(["drives"], bare)
            expect(status == 0 and note.startswith(FROM_BLKID), f"drives: {status} {note!r}")
            # Other FAT devices of the machine may come first.
            line = next((row for row in table.split(b"\n") if row.split(b" ")[1:2] == [device.encode()]), None)
            expect(line is not None, f"{device} is not in the table:\n{table.decode()}")
            letter = line[:2].decode()
            search = ["search", "--recurse", "--deleted-dirs", letter + "\\"]
            status, rows, _ = case.run(search, bare)
            _, by_hand, _ = case.run(["--drive", letter + "=" + case.image] + search)
            expect_equal((status, rows), (0, by_hand), f"the search of {device}")
    finally:
        subprocess.run(["losetup", "-d", device], capture_output=True)


def case_blkid_partitions(case):
    """Without UDisks2, as root: the partitions of a card image attached as
    a read-only loop device with its partitions are found by libblkid, each
    FAT one with its family, number and start as the kernel gives them, and
    read as the image's partition mapped by hand."""
    if os.geteuid() != 0 or not shutil.which("losetup") or not shutil.which("sfdisk"):
        print("blkid_partitions: skipped (needs root, losetup and sfdisk)")
        return
    mib = 1024 ** 2
    card = os.path.join(case.work, "parts.img")
    with open(card, "wb") as out:
        out.truncate(96 * mib)
    # 1: the small FAT32 volume; 2: no file system; 5: a FAT16 logical partition.
    subprocess.run(["sfdisk", "-q", card], input=b"label: dos\nstart=2048, size=81920, type=c\n"
                   b"size=4096, type=83\ntype=5\nsize=16384, type=6\n", check=True, capture_output=True)
    with open(case.image, "rb") as volume, open(card, "r+b") as out:
        out.seek(mib)
        out.write(volume.read())
    dump = json.loads(subprocess.run(["sfdisk", "--json", card], capture_output=True, check=True).stdout)
    start5 = next(p["start"] for p in dump["partitiontable"]["partitions"] if p["node"] == card + "5")
    subprocess.run(["mkfs.fat", "-F", "16", "-s", "2", "-n", "LOGICAL", "--offset", str(start5), card, "8192"],
                   check=True, capture_output=True)
    attached = subprocess.run(["losetup", "--find", "--show", "--read-only", "--partscan", card],
                              capture_output=True, text=True)
    if attached.returncode != 0:
        print(f"blkid_partitions: skipped (no loop device: {attached.stderr.strip()})")
        return
    device = attached.stdout.strip()
    try:
        # The kernel may scan the table later than losetup returns; partx adds what is missing.
        subprocess.run(["partx", "--add", device], capture_output=True)
        if not os.path.exists(device + "p5"):
            print(f"blkid_partitions: skipped (no partitions of {device})")
            return
        with PrivateSystemBus() as bare:
            status, table, note = case.run(["drives"], bare)
            expect(status == 0 and note.startswith(FROM_BLKID), f"drives: {status} {note!r}")
            lines = {row.split(b" ")[1]: row for row in table.split(b"\n") if row}
            expect_equal(lines.get((device + "p1").encode(), b"")[3:],
                         (device + 'p1 "E2E" FAT32 40.0 MiB partition 1 at 1048576').encode(), "partition 1")
            expect_equal(lines.get((device + "p5").encode(), b"")[3:],
                         (device + f'p5 "LOGICAL" FAT16 8.0 MiB partition 5 at {start5 * 512}').encode(),
                         "partition 5")
            for other in (device, device + "p2", device + "p3"):
                expect(other.encode() not in lines, f"{other} is in the table:\n{table.decode()}")
            letter = lines[(device + "p1").encode()][:2].decode()
            search = ["search", "--recurse", "--deleted-dirs", letter + "\\"]
            status, rows, _ = case.run(search, bare)
            _, by_hand, _ = case.run(["--drive", letter + "=" + case.image] + search)
            expect_equal((status, rows), (0, by_hand), f"the search of {device}p1")
    finally:
        subprocess.run(["losetup", "-d", device], capture_output=True)


def case_recovery(case):
    """A UDisks2 drive is read as the same volume mapped by hand: the same
    rows, the original bytes; through OpenForBackup where the daemon has no
    OpenDevice; a host path under its mount point names its directory."""
    card = os.path.join(case.work, "card")
    os.makedirs(os.path.join(card, "DOCS"))
    out = os.path.join(case.work, "out")
    os.mkdir(out)
    search = ["search", "--recurse", "--deleted-dirs", "C:\\"]
    _, by_hand, _ = case.run(["--drive", "C:=" + case.image] + search)
    _, docs_by_hand, _ = case.run(["--drive", "C:=" + case.image, "search", "C:\\DOCS"])
    expect(b"\\\xe5OTES   .TXT\t" in by_hand, f"rows by hand: {by_hand!r}")

    for opening, method in (("device", "OpenDevice"), ("backup-only", "OpenForBackup")):
        with PrivateSystemBus([case.fat32("sdc1", label="E2E", mount_points=[card])],
                              opening=opening) as bus:
            status, rows, _ = case.run(search, bus)
            expect_equal((status, rows), (0, by_hand), f"the search through {method}")
            status, _, messages = case.run(["undelete", "-o", out, "C:\\DOCS\\REPORT.TXT"], bus)
            expect_equal(status, 0, f"undelete through {method}: {messages!r}")
            recovered = os.path.join(out, "REPORT.TXT")
            with open(recovered, "rb") as data:
                expect(data.read() == case.originals["EPORT.TXT"], f"REPORT.TXT through {method}")
            os.remove(recovered)
            opens = [call for call in bus.calls() if call["method"] != "GetManagedObjects"]
            expect(opens, f"no {method}")
            for call in opens:
                expect_equal(call, dict(method=method, path="/org/freedesktop/UDisks2/block_devices/sdc1",
                                        mode="r" if method == "OpenDevice" else None,
                                        options={"auth.no_user_interaction": False}, interactive=True),
                             "the open call")

            # The directory under the mount point UDisks2 reports is that
            # drive's directory; where this process cannot see the mount,
            # it may be read-write, and is warned of.
            status, rows, messages = case.run(["search", os.path.join(card, "DOCS")], bus)
            expect_equal((status, rows), (0, docs_by_hand), "the search of the mount point's DOCS")
            expect_equal(messages, b"quorvane-cli: warning: C: is mounted on " + card.encode() +
                         b", perhaps read-write: writes by the running system can overwrite deleted "
                         b"files; unmount it or mount it read-only first\n", "the search's messages")

    # Mounted where this process sees the mount (a tmpfs stands for the
    # volume's file system; the stand-in gives its device number): the
    # kernel's table tells how, and an output directory there is refused.
    mounted = os.path.join(case.work, "mounted")
    os.mkdir(mounted)
    if os.geteuid() != 0 or subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1m", "quorvane-test",
                                            mounted]).returncode != 0:
        print("the mounted volume was skipped: mounting needs root")
        return
    try:
        os.mkdir(os.path.join(mounted, "DOCS"))
        block = case.fat32("sdc1", label="E2E", mount_points=[mounted],
                           device_number=os.stat(mounted).st_dev)
        with PrivateSystemBus([block]) as bus:
            status, table, _ = case.run(["drives"], bus)
            expect_equal((status, table), (0, b'C: /dev/sdc1 "E2E" FAT32 40.0 MiB (mounted on ' + mounted.encode() +
                                              b", read-write)\n"), "the table of the mounted volume")
            status, rows, messages = case.run(["search", os.path.join(mounted, "DOCS")], bus)
            expect_equal((status, rows), (0, docs_by_hand), "the search of the mounted volume's DOCS")
            expect_equal(messages, b"quorvane-cli: warning: C: is mounted read-write on " + mounted.encode() +
                         b": writes by the running system can overwrite deleted files; unmount it or "
                         b"mount it read-only first\n", "the search's messages")
            status, _, messages = case.run(["undelete", "-o", mounted, "C:\\DOCS\\REPORT.TXT"], bus)
            expect(status == 1 and b"Please select an output directory on another drive !" in messages,
                   f"undelete into the volume read: {status}, {messages!r}")
            expect_equal(os.listdir(mounted), ["DOCS"], "what the mounted volume holds")
    finally:
        subprocess.run(["umount", mounted], check=False)


def case_refusal(case):
    """An open the daemon refuses, or a descriptor that could write, reads
    nothing: exit status 1 and the reason."""
    for opening, reason in (
            ("org.freedesktop.UDisks2.Error.NotAuthorizedDismissed", b"Not authorized to perform operation"),
            ("read-write", b"opened for writing, not read-only")):
        with PrivateSystemBus([case.fat32("sdc1")], opening=opening) as bus:
            failure = b"quorvane-cli: CreateFile () Failed ! (/dev/sdc1 (through UDisks2): " + reason + b")\n"
            for args in (["undelete", "-o", case.work, "C:\\NOTES.TXT"], ["search", "C:\\"]):
                status, rows, messages = case.run(args, bus)
                expect_equal((status, rows), (1, b""), f"{args[0]} when the open gives {opening}")
                expect(failure in messages, f"{args[0]}'s messages: {messages!r}")
    expect(not os.path.exists(os.path.join(case.work, "NOTES.TXT")), "a file was written")


CASES = {name[len("case_"):]: function for name, function in globals().items()
         if name.startswith("case_")}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("case", choices=sorted(CASES) + ["list"])
    options = parser.parse_args()
    if options.case == "list":
        print("\n".join(sorted(CASES)))
        return 0
    work = tempfile.mkdtemp(prefix="quorvane-udisks-test.")
    try:
        case = Case(os.path.abspath(options.cli), work)
        CASES[options.case](case)
        case.close()
        print(f"{options.case}: passed")
        return 0
    except Exception:
        traceback.print_exc()
        print(f"{options.case}: FAILED")
        return 1
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())

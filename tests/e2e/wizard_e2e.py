#!/usr/bin/env python3
"""End-to-end tests of the wizard: build/quorvane in a private X server,
driven only through it with the keyboard and the mouse, both main jobs from
the main window to the recovered file, compared byte for byte.

Usage: wizard_e2e.py --program build/quorvane CASE [--artifacts DIR]
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "udisks"))

from e2e_volumes import (BIG_COMPANIONS, BIG_SIZE, NT_DELETED, ORPHAN_NAME,  # noqa: E402
                         image_digest, make_big_volume, make_nt_deleted_volume, make_small_volume)
from udisks_bus import PrivateSystemBus  # noqa: E402
from x_session import SHEET_MARGIN, TEMPLATES, Failure, XSession, wait_for  # noqa: E402

PAGE_TITLES = {
    1: "Select directory to place undeleted files",
    2: "Undelete File If You Know The Complete File Name",
    3: "Select Directory To Search For Undeletable Files",
    4: "Undelete File(s)",
}
# A search of the test volume ends well within this, even under the
# sanitizers; the list cannot be read from outside the program.
SEARCH_TIME = 2.5
# The height of a row of the results list, in pixels, with the test's font.
ROW_HEIGHT = 14
PAGE_TEMPLATES = {1: "output_dir_page", 2: "undelete_by_name_page", 3: "search_setup_page",
                  4: "results_page"}


def expect(condition, message):
    if not condition:
        raise Failure(message)


class Run:
    """One start of the program on fresh volumes."""

    def __init__(self, program, work, big=False, nt=False, udisks=False):
        """With `udisks`, the small volume is UDisks2's /dev/sdc1 on a bus of
        the run's own, and the program is started with no drive arguments.
        Drive D: is the big volume or the NT-deleted one; with both, the big
        one is E:."""
        self.work = work
        self.bus = None
        self.output = os.path.join(work, "recovered")
        os.makedirs(self.output)
        small = os.path.join(work, "small.img")
        self.originals, self.orphan_cluster = make_small_volume(small, work)
        images = [small]
        # Started in the work folder, which page 1 offers; the cases choose another.
        drives = ["--drive", "C:=" + small]
        if nt:  # as a delete of the NT family leaves it
            image = os.path.join(work, "nt.img")
            self.nt_originals = make_nt_deleted_volume(image, work)
            images.append(image)
            drives += ["--drive", "D:=" + image]
        if big:
            image = os.path.join(work, "big.img")
            make_big_volume(image, work)
            images.append(image)
            drives += ["--drive", ("E:=" if nt else "D:=") + image]
        self.digests = {image: image_digest(image) for image in images}
        if udisks:
            drives = []
            self.bus = PrivateSystemBus([dict(name="sdc1", image=small, id_type="vfat",
                                              id_version="FAT32", label="E2E")])
        try:
            self.x = XSession(program, drives, work, accessible=nt, env=self.bus and self.bus.env)
        except Exception:
            if self.bus:
                self.bus.close()
            raise

    def close(self):
        self.x.close()
        if self.bus:
            self.bus.close()
        for image, digest in self.digests.items():
            expect(image_digest(image) == digest, f"{image} changed")

    def sheet_on(self, page):
        return self.x.wait_window(f"page {page}", "^" + re.escape(PAGE_TITLES[page]) + "$")

    def turn(self, sheet, page, key=None, button=None):
        """A key, or a click on the wizard's `button`, that turns it to `page`."""
        if key:
            self.x.key(key)
        else:
            self.x.click_sheet_button(sheet, button)
        wait_for(f"page {page}", lambda: sheet.name() == PAGE_TITLES[page])

    def box(self):
        """A message box: a window but the main one titled "Quorvane" (the
        system's caption) or "quorvane" (no caption), laid out and drawn."""
        box = self.x.wait_window("a message box", "^[Qq]uorvane$", exclude=[self.x.launcher], timeout=20.0)
        time.sleep(0.3)
        return box

    def no_box(self):
        time.sleep(0.2)
        others = [w for w in self.x.windows("^[Qq]uorvane$") if w.id != self.x.launcher.id]
        expect(not others, "an unexpected message box is up")

    def answer_box(self, with_key):
        box = self.box()
        if with_key:
            self.x.key("Return")
        else:
            self.x.click_box_ok(box)
        self.x.wait_gone("the message box", box)

    def end(self, sheet=None, button=None):
        """Escape, or a click on the wizard's `button`: the program ends cleanly."""
        if sheet:
            self.x.click_sheet_button(sheet, button)
        else:
            self.x.key("Escape")
        expect(self.x.wait_exit() == 0, f"{button or 'Escape'} did not end the program cleanly")

    def click(self, sheet, page, control, where=(0.5, 0.5)):
        self.x.click_control(sheet, PAGE_TEMPLATES[page], control, (SHEET_MARGIN, SHEET_MARGIN), where)

    def type_into(self, sheet, page, edit, text, replace=False):
        """Clicks the edit, selects what it holds with Ctrl+A when `replace`, types."""
        self.click(sheet, page, edit)
        if replace:
            self.x.key("ctrl+a")
        self.x.type(text)

    def recovered(self, name):
        path = os.path.join(self.output, name)
        return wait_for(f"{name} in the output folder", lambda: os.path.exists(path) and path)

    def expect_recovered(self, name, original):
        with open(self.recovered(name), "rb") as recovered:
            data = recovered.read()
        expect(data == original, f"{name}: {len(data)} bytes differ from the original's "
                                 f"{len(original)}")

    def expect_listed_row_recovered(self, before):
        """The file of the row just undeleted: a new file named as the stored
        name with 'X' for the deleted mark, holding the original's bytes."""
        added = wait_for("a recovered file", lambda: sorted(set(os.listdir(self.output)) - set(before)))
        expect(len(added) == 1, f"one file expected, got {added}")
        name = added[0]
        # Listed names keep the blanks that pad them on the volume.
        tail = name[1:].replace(" ", "")
        expect(name[0] == "X" and tail in self.originals, f"unexpected file {name!r}")
        self.expect_recovered(name, self.originals[tail])
        return "X" + tail

    def to_page_2_with_keys(self):
        """Start (it has the focus), the output folder typed on page 1, Alt+N.
        Returns the wizard's window."""
        self.x.key("Return")
        sheet = self.sheet_on(1)
        self.x.key("ctrl+a")
        self.x.type(self.output)
        self.turn(sheet, 2, key="alt+n")
        return sheet

    def abort_copy_into(self, path, abort_button):
        """Once `path` grows, clicks Abort; the copy stops short of the whole."""
        wait_for("the copy to start", lambda: os.path.getsize(path) > 0)
        abort_button()

        def settled():
            first = os.path.getsize(path)
            time.sleep(0.5)
            return os.path.getsize(path) == first
        wait_for("the copy to stop", settled, timeout=60)
        size = os.path.getsize(path)
        expect(0 < size < BIG_SIZE, f"Abort did not stop the copy: {size} bytes")

    def recover_first_listed_row_with_mouse(self, sheet):
        """Show Files, the first row, Undelete, the box's OK: the name of the
        file recovered (checked against its original)."""
        self.click(sheet, 4, 1021)
        time.sleep(SEARCH_TIME)
        before = os.listdir(self.output)
        self.first_row(sheet)
        self.click(sheet, 4, 1018)
        self.answer_box(with_key=False)
        return self.expect_listed_row_recovered(before)

    def recover_first_listed_row_with_keys(self):
        """Alt+S (Show Files), the first row (the list comes before Show Files
        in tab order), Alt+U, Return on the box: the name recovered."""
        self.x.key("alt+s")
        time.sleep(SEARCH_TIME)
        before = os.listdir(self.output)
        self.x.key("Tab", "shift+Tab", "Home", "space")
        self.x.key("alt+u")
        self.answer_box(with_key=True)
        return self.expect_listed_row_recovered(before)

    def first_row(self, sheet):
        self.row(sheet, 0)

    def row(self, sheet, index, modifier=None):
        """A click on the list's row `index` (0 = top), `modifier` ("shift",
        "ctrl") held. The first row lies just below the list's header."""
        x, y, cx, cy = TEMPLATES["results_page"][1020]
        wx, wy, _, _ = sheet.geometry()
        at = (wx + self.x.du_x(SHEET_MARGIN + x) + 40,
              wy + self.x.du_y(SHEET_MARGIN + y) + 24 + index * ROW_HEIGHT)
        if modifier:
            self.x.xdotool("keydown", modifier)
        try:
            self.x.click_at(*at)
        finally:
            if modifier:
                self.x.xdotool("keyup", modifier)

    def summary_box(self):
        """The box that ends an Undelete of several rows, and its text, read
        as a screen reader reads it."""
        box = self.box()

        def text():
            try:
                labels = self.x.a11y.texts("label")
            except subprocess.CalledProcessError:
                return False
            found = [t for t in labels if re.match(r"^\d+ of \d+ files undeleted", t)]
            # The status label holds the counts alone; the box says more.
            return found and max(found, key=len)
        return box, wait_for("the summary box's text", text)

    def expect_new_files(self, before, originals):
        """The files added since `before` hold exactly `originals` (a list of
        byte strings), whatever names they were given. Returns their names."""
        added = wait_for("the recovered files",
                         lambda: (lambda a: len(a) >= len(originals) and a)(
                             sorted(set(os.listdir(self.output)) - set(before))))
        contents = []
        for name in added:
            with open(os.path.join(self.output, name), "rb") as recovered:
                contents.append(recovered.read())
        expect(sorted(contents) == sorted(originals),
               f"recovered {added}: {sorted(len(c) for c in contents)} bytes, expected "
               f"{sorted(len(o) for o in originals)}")
        return added


def case_keyboard_both_jobs(run):
    x = run.x
    sheet = run.to_page_2_with_keys()
    x.type("C:\\DOCS\\REPORT.TXT")
    # Abort is disabled: its letter types nothing into the path.
    x.key("alt+a", "alt+u")
    run.answer_box(with_key=True)
    run.expect_recovered("REPORT.TXT", run.originals["EPORT.TXT"])

    run.turn(sheet, 3, key="alt+n")
    x.type("C:\\")
    x.key("alt+r", "alt+s")  # Recursively search subdirectories, and deleted directories
    run.turn(sheet, 4, key="alt+n")
    run.recover_first_listed_row_with_keys()
    run.end()  # Escape is Cancel: the wizard and the program end


def case_mouse_both_jobs(run):
    x = run.x
    x.click_control(x.launcher, "launcher_dialog", 1025)
    sheet = run.sheet_on(1)
    run.type_into(sheet, 1, 1024, run.output, replace=True)
    run.turn(sheet, 2, button="next")
    run.type_into(sheet, 2, 1017, "C:\\PHOTOS\\BANNER.PNG")
    run.click(sheet, 2, 1018)
    run.answer_box(with_key=False)
    run.expect_recovered("BANNER.PNG", run.originals["ANNER.PNG"])

    run.turn(sheet, 3, button="next")
    run.type_into(sheet, 3, 1024, "C:\\")
    run.click(sheet, 3, 1030, where=(0.05, 0.5))  # the check box itself
    run.turn(sheet, 4, button="next")
    run.recover_first_listed_row_with_mouse(sheet)
    run.end(sheet, "next")  # Finish


def case_about_box_and_main_window_blocked(run):
    x = run.x
    for opening in ("mouse", "keys"):
        if opening == "mouse":
            x.click_control(x.launcher, "launcher_dialog", 1026)
        else:
            x.key("alt+a")
        about = x.wait_window("the about box", "^About Quorvane$")
        if opening == "mouse":
            x.click_control(about, "about_dialog", 1)
        else:
            x.key("Escape")
        x.wait_gone("the about box", about)
    # Escape leaves the main window open.
    x.key("Escape")
    time.sleep(0.5)
    expect(x.program.poll() is None, "Escape ended the main window")
    x.key("alt+s")
    sheet = run.sheet_on(1)
    # The wizard has the input: the main window's Alt+A opens nothing.
    x.key("alt+a")
    time.sleep(0.8)
    expect(not x.windows("^About Quorvane$"), "the main window took a key under the wizard")
    run.end(sheet, "cancel")


def case_worker_box_answered_over_options_dialog(run):
    x = run.x
    sheet = run.to_page_2_with_keys()
    run.type_into(sheet, 2, 1017, "C:\\DOCS\\NOSUCH.TXT")
    run.click(sheet, 2, 1018)
    worker_box = run.box()
    # The worker waits on its box; the wizard stays usable meanwhile.
    run.turn(sheet, 3, button="next")
    # A page's own box, then the options dialog, over the wizard.
    x.click_sheet_button(sheet, "next")
    page_box = run.x.wait_window("page 3's box", "^Quorvane$",
                                 exclude=[x.launcher, worker_box])
    x.click_box_ok(worker_box)
    x.wait_gone("the worker's box", worker_box)
    x.click_box_ok(page_box)
    x.wait_gone("page 3's box", page_box)
    run.click(sheet, 3, 1043)
    options = x.wait_window("the options dialog", "^Search Options$")
    # Nothing is waiting any more; the dialog's mnemonics work: the check
    # box, then the label that names the name edit.
    x.key("alt+f", "alt+a")
    x.type("EPOR")
    x.key("Return")
    x.wait_gone("the options dialog", options)
    run.type_into(sheet, 3, 1024, "C:\\DOCS")
    run.turn(sheet, 4, key="Return")  # the default button: Next
    expect(run.recover_first_listed_row_with_mouse(sheet) == "XEPORT.TXT",
           "the name filter typed after the label's mnemonic was not applied")
    run.end(sheet, "cancel")


def case_abort_during_a_long_copy(run):
    x = run.x
    sheet = run.to_page_2_with_keys()
    run.type_into(sheet, 2, 1017, "D:\\BIG.BIN")
    run.click(sheet, 2, 1018)
    run.abort_copy_into(run.recovered("BIG.BIN"), lambda: run.click(sheet, 2, 1032))
    run.no_box()
    # The worker has ended: Undelete runs again.
    run.type_into(sheet, 2, 1017, "C:\\NOTES.TXT", replace=True)
    run.click(sheet, 2, 1018)
    run.answer_box(with_key=False)
    run.expect_recovered("NOTES.TXT", run.originals["OTES.TXT"])
    run.end()


def case_back_and_a_second_search(run):
    x = run.x
    sheet = run.to_page_2_with_keys()
    run.turn(sheet, 3, key="alt+n")
    x.type("C:\\ARCHIVE")
    run.turn(sheet, 4, key="alt+n")
    run.click(sheet, 4, 1021)
    time.sleep(SEARCH_TIME)  # ended, so Show Files is back when the page is
    run.turn(sheet, 3, button="back")
    # Deleted directories can be searched only with recursion on.
    run.click(sheet, 3, 1030, where=(0.05, 0.5))
    run.click(sheet, 3, 1031, where=(0.05, 0.5))
    run.turn(sheet, 4, button="next")
    expect(run.recover_first_listed_row_with_mouse(sheet) == "XLAN.TXT",
           "the second search did not reach the deleted directory")
    run.end()


def case_folder_choosers_with_keys(run):
    x = run.x
    x.key("Return")
    sheet = run.sheet_on(1)
    # Page 1's Browse: the desktop's folder chooser, its path typed.
    x.key("alt+b")
    chooser = x.wait_window("the folder chooser", "^<< Select directory to place undeleted files >>$")
    x.key("ctrl+a")
    x.type(run.output)
    x.key("Return")
    x.wait_gone("the folder chooser", chooser)
    run.turn(sheet, 2, key="alt+n")
    x.type("C:\\NOTES.TXT")
    x.key("alt+u")
    run.answer_box(with_key=True)
    run.expect_recovered("NOTES.TXT", run.originals["OTES.TXT"])
    run.turn(sheet, 3, key="alt+n")
    # Page 3's Browse (after the edit in tab order): the volume's folders.
    x.key("Tab", "space")
    chooser = x.wait_window("the volume folder chooser",
                            "^<< Select directory to search for undeletable files >>$")
    x.key("Right", "Down")  # C: (selected at first) opened, its first directory: DOCS
    x.key("Return")
    x.wait_gone("the volume folder chooser", chooser)
    run.turn(sheet, 4, key="alt+n")
    expect(run.recover_first_listed_row_with_keys() == "XEPORT.TXT",
           "the chosen folder was not the one searched")
    run.end()


def case_exit_after_the_home_page(run):
    x = run.x
    x.click_control(x.launcher, "launcher_dialog", 1026)
    about = x.wait_window("the about box", "^About Quorvane$")
    # The home page opens without waiting; without a browser nothing shows.
    x.click_control(about, "about_dialog", 1036)
    x.click_control(about, "about_dialog", 1)
    x.wait_gone("the about box", about)
    x.click_control(x.launcher, "launcher_dialog", 1)
    expect(x.wait_exit() == 0, "Exit did not end the program")


def case_every_other_button(run):
    """The buttons the other cases reach with keys or not at all."""
    x = run.x
    x.click_control(x.launcher, "launcher_dialog", 1025)
    sheet = run.sheet_on(1)
    run.click(sheet, 1, 1015)
    chooser = x.wait_window("the folder chooser", "^<< Select directory to place undeleted files >>$")
    x.key("Escape")
    x.wait_gone("the folder chooser", chooser)
    run.type_into(sheet, 1, 1024, run.output, replace=True)
    run.turn(sheet, 2, button="next")
    run.turn(sheet, 3, button="next")
    # Opened by a click, the chooser still has the keyboard.
    run.click(sheet, 3, 1015)
    chooser = x.wait_window("the volume folder chooser",
                            "^<< Select directory to search for undeletable files >>$")
    x.key("Down", "Return")  # from C: to D:
    x.wait_gone("the volume folder chooser", chooser)
    run.type_into(sheet, 3, 1024, "D:\\", replace=True)
    for button in (1, 2):  # OK keeps the filter, Cancel drops nothing
        run.click(sheet, 3, 1043)
        options = x.wait_window("the options dialog", "^Search Options$")
        if button == 1:
            x.click_control(options, "search_options_dialog", 1039, where=(0.05, 0.5))
            x.click_control(options, "search_options_dialog", 1041)
            x.type("IG")
        x.click_control(options, "search_options_dialog", button)
        x.wait_gone("the options dialog", options)
    run.turn(sheet, 4, button="next")
    run.click(sheet, 4, 1021)
    time.sleep(SEARCH_TIME)
    run.first_row(sheet)
    run.click(sheet, 4, 1018)
    # The listed name, blanks and all.
    run.abort_copy_into(run.recovered("XIG     .BIN"), lambda: run.click(sheet, 4, 1032))
    run.turn(sheet, 3, button="back")
    run.end(sheet, "cancel")


def expect_chooser_rows(run, sheet):
    """Page 3's Browse, clicked: the volume chooser's row of each drive tells
    which volume it is, read as a screen reader reads it."""
    x = run.x
    run.click(sheet, 3, 1015)
    chooser = x.wait_window("the volume folder chooser",
                            "^<< Select directory to search for undeletable files >>$")

    def rows():
        try:
            shown = x.a11y.shown()
        except subprocess.CalledProcessError:  # a row read as its text changed
            return False
        found = [name for role, name, _ in shown if role == "tree item" and re.match("^[C-Z]:  ", name)]
        return len(found) == 3 and not any(name.endswith("reading\u2026") for name in found) and found
    found = wait_for("the drives' rows", rows)
    expected = ["C:  E2E  FAT32  40.0 MiB  " + os.path.join(run.work, "small.img"),
                "D:  NT  FAT32  40.0 MiB  " + os.path.join(run.work, "nt.img"),
                "E:  BIG  FAT32  4.0 GiB  " + os.path.join(run.work, "big.img")]
    expect(found == expected, f"the chooser's rows {found}")
    x.key("Escape")
    x.wait_gone("the volume folder chooser", chooser)


def case_nt_deleted_files_rebuilt(run):
    """Page 3's Browse shows each drive's label, family and size. Both new
    options ticked, one by its mnemonic, one by a click: the list
    shows each file's long name and "rebuilt", and the top row comes back
    from its rebuilt cluster, which the status names. The low word alone
    points into a live file: only the rebuilt cluster gives the original
    bytes. Ctrl+A then undeletes both rows, each from its own rebuilt
    cluster. Reopened, the dialog has both boxes off again: OK gives the two
    columns back. Then several rows of the big volume with Abort midway.
    Last, C: searched whole with "Keep going" clicked and "Follow
    fragmented files and lost folders" ticked by its mnemonic: the file of
    an orphan directory is listed and comes back whole, and both boxes are
    off at the next opening."""
    x = run.x
    sheet = run.to_page_2_with_keys()
    run.turn(sheet, 3, key="alt+n")
    expect_chooser_rows(run, sheet)
    run.type_into(sheet, 3, 1024, "D:\\")  # Browse has the focus now
    run.click(sheet, 3, 1043)
    options = x.wait_window("the options dialog", "^Search Options$")
    x.key("alt+r")
    x.click_control(options, "search_options_dialog", 1049, where=(0.03, 0.5))
    x.key("Return")
    x.wait_gone("the options dialog", options)
    run.turn(sheet, 4, key="alt+n")
    run.click(sheet, 4, 1021)
    time.sleep(SEARCH_TIME)
    headers, rows = x.a11y.list_view()
    expect(headers == ["File Name", "Size", "Long Name", "Condition"], f"columns {headers}")
    listed = sorted((long_name, condition) for _, _, long_name, condition in rows)
    expect(listed == [("D:\\" + name, "rebuilt") for name in sorted(NT_DELETED)],
           f"rows {rows}")

    before = os.listdir(run.output)
    run.first_row(sheet)
    run.click(sheet, 4, 1018)
    run.answer_box(with_key=False)
    added = wait_for("a recovered file", lambda: sorted(set(os.listdir(run.output)) - set(before)))
    long_name = rows[0][2][len("D:\\"):]
    expect(added == ["X" + NT_DELETED[long_name]], f"{added} recovered for {rows[0]}")
    data, cluster = run.nt_originals[long_name]
    run.expect_recovered(added[0], data)
    # The line naming the condition follows.
    status = f"File Undeleted !\nFrom first cluster {cluster} (rebuilt)\n"
    expect(any(text.startswith(status) for text in x.a11y.texts("label")), f"no status {status!r}")

    # Every row at once, by Ctrl+A: each comes back from its own rebuilt
    # cluster, and one box counts them and names their condition.
    before = os.listdir(run.output)
    run.first_row(sheet)
    x.key("ctrl+a")
    run.click(sheet, 4, 1018)
    box, text = run.summary_box()
    expect(text.startswith("2 of 2 files undeleted, 0 partly undeleted, 0 not undeleted.\n"
                           "2 of the undeleted files are not intact: rebuilt (2)."),
           f"the summary: {text!r}")
    x.click_box_ok(box)
    x.wait_gone("the summary box", box)
    run.expect_new_files(before, [data for data, _ in run.nt_originals.values()])

    run.turn(sheet, 3, button="back")
    run.click(sheet, 3, 1043)
    options = x.wait_window("the options dialog", "^Search Options$")
    x.key("Return")
    x.wait_gone("the options dialog", options)
    run.turn(sheet, 4, key="alt+n")
    run.click(sheet, 4, 1021)
    time.sleep(SEARCH_TIME)
    headers, _ = x.a11y.list_view()
    expect(headers == ["File Name", "Size"], f"columns after the options went off: {headers}")

    # Three rows of E:, chosen with the mouse (TWO, ONE, BIG from the top),
    # undeleted in that order; Abort lands in BIG.BIN's copy: the two before
    # it are whole, its own file is a part, and the box says so.
    run.turn(sheet, 3, button="back")
    run.type_into(sheet, 3, 1024, "E:\\", replace=True)
    run.turn(sheet, 4, button="next")
    run.click(sheet, 4, 1021)
    time.sleep(SEARCH_TIME)
    run.row(sheet, 0)
    run.row(sheet, 2, "shift")
    before = os.listdir(run.output)
    run.click(sheet, 4, 1018)
    run.abort_copy_into(run.recovered("XIG     .BIN"), lambda: run.click(sheet, 4, 1032))
    box, text = run.summary_box()
    expect(text.startswith("2 of 3 files undeleted, 1 partly undeleted, 0 not undeleted.\n"
                           "Undeletion Aborted ! E:\\\u00e5IG     .BIN is partly undeleted."),
           f"the summary after Abort: {text!r}")
    x.click_box_ok(box)
    x.wait_gone("the summary box", box)
    # Listed names keep the blanks that pad them on the volume.
    listed = {"X" + name[1:].split(".")[0].ljust(7) + "." + name.split(".")[1]: data
              for name, data in BIG_COMPANIONS.items()}
    added = set(os.listdir(run.output)) - set(before)
    expect(added == {"XIG     .BIN"} | set(listed), f"recovered {sorted(added)}")
    for name, data in listed.items():
        run.expect_recovered(name, data)

    # A whole-volume search of C: with lost folders followed lists the file
    # of the orphan directory, named after the directory's cluster, and
    # brings it back. Both boxes start off again at the next opening.
    run.turn(sheet, 3, button="back")
    run.type_into(sheet, 3, 1024, "C:\\", replace=True)
    run.click(sheet, 3, 1030, where=(0.05, 0.5))
    run.click(sheet, 3, 1031, where=(0.05, 0.5))
    run.click(sheet, 3, 1043)
    options = x.wait_window("the options dialog", "^Search Options$")
    x.click_control(options, "search_options_dialog", 1050, where=(0.03, 0.5))
    x.key("alt+t")
    expect_new_boxes(run, {KEEP_GOING: True, FRAGMENTS: True})
    x.key("Return")
    x.wait_gone("the options dialog", options)
    run.turn(sheet, 4, button="next")
    run.click(sheet, 4, 1021)
    time.sleep(SEARCH_TIME)
    # Listed names keep the blanks that pad them on the volume.
    orphan = "C:\\ORPH\\A\\%08X\\\u00e5%s" % (run.orphan_cluster, ORPHAN_NAME[1:])
    _, rows = x.a11y.list_view()
    names = [row[0].replace(" ", "") for row in rows]
    expect(orphan in names, f"no row {orphan!r} in {names}")
    before = os.listdir(run.output)
    run.row(sheet, names.index(orphan))
    run.click(sheet, 4, 1018)
    run.answer_box(with_key=False)
    expect(run.expect_listed_row_recovered(before) == "X" + ORPHAN_NAME[1:],
           "another row than the orphan's was undeleted")
    run.turn(sheet, 3, button="back")
    run.click(sheet, 3, 1043)
    options = x.wait_window("the options dialog", "^Search Options$")
    expect_new_boxes(run, {KEEP_GOING: False, FRAGMENTS: False})
    x.key("Escape")
    x.wait_gone("the options dialog", options)
    run.end(sheet, "cancel")


KEEP_GOING = "Keep going past unreadable sectors"
FRAGMENTS = "Follow fragmented files and lost folders"


def expect_new_boxes(run, wanted):
    """The options dialog's check boxes named in `wanted` come to be
    checked or not as it says, read as a screen reader reads them (a key
    just typed may not have reached them yet)."""
    seen = {}

    def boxes():
        try:
            shown = run.x.a11y.check_boxes("Search Options")
        except subprocess.CalledProcessError:
            return False
        seen.update((name, shown.get(name)) for name in wanted)
        return seen == wanted
    try:
        wait_for("the options dialog's check boxes", boxes, timeout=5.0)
    except Failure:
        raise Failure(f"check boxes {seen}, expected {wanted}")


def case_udisks_drive_without_arguments(run):
    """Started with no drive arguments, the wizard's drive C: is the volume
    UDisks2 reports; it is opened through the daemon, read-only, and a
    deleted file comes back from it."""
    with open(os.path.join(run.work, ".quorvane-e2e.log")) as log:
        printed = log.read()
    expect('C: /dev/sdc1 "E2E" FAT32 40.0 MiB\n' in printed, f"the drive table printed: {printed!r}")
    sheet = run.to_page_2_with_keys()
    run.type_into(sheet, 2, 1017, "C:\\DOCS\\REPORT.TXT")
    run.click(sheet, 2, 1018)
    run.answer_box(with_key=False)
    run.expect_recovered("REPORT.TXT", run.originals["EPORT.TXT"])
    opens = [call for call in run.bus.calls() if call["method"] == "OpenDevice"]
    expect(opens and all(call["mode"] == "r" and call["interactive"] for call in opens),
           f"the volume was not opened read-only through UDisks2: {run.bus.calls()}")
    run.end()


CASES = {name[len("case_"):]: function for name, function in globals().items()
         if name.startswith("case_")}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--artifacts", help="folder for a screenshot of a failure")
    parser.add_argument("case", choices=sorted(CASES) + ["list"])
    options = parser.parse_args()
    if options.case == "list":
        print("\n".join(sorted(CASES)))
        return 0
    work = tempfile.mkdtemp(prefix="quorvane-e2e.")
    run = None
    try:
        run = Run(os.path.abspath(options.program), work,
                  big=options.case in ("abort_during_a_long_copy", "every_other_button",
                                       "nt_deleted_files_rebuilt"),
                  nt=options.case.startswith("nt_deleted"), udisks=options.case.startswith("udisks"))
        CASES[options.case](run)
        run.close()
        run = None
        print(f"{options.case}: passed")
        return 0
    except Exception:
        traceback.print_exc()
        if run is not None:
            if options.artifacts:
                os.makedirs(options.artifacts, exist_ok=True)
                shot = os.path.join(options.artifacts, options.case + ".png")
                try:
                    run.x.screenshot(shot)
                    print(f"screenshot: {shot}")
                except Exception:
                    pass
            run.x.close()
            if run.bus:
                run.bus.close()
        log = os.path.join(work, ".quorvane-e2e.log")
        if os.path.exists(log):  # also when the program did not come up
            with open(log) as printed:
                sys.stdout.write(printed.read())
        print(f"{options.case}: FAILED")
        return 1
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())

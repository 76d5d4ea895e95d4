#!/usr/bin/env python3
"""Draws docs/*.png: the real wizard on the demo volume in a private X
server, taken from the main window to a recovered file with keys and clicks
through the X server (as the end-to-end tests drive it), each window saved
as it stands. Usage: screenshots.py PROGRAM DEMO_IMAGE OUT_DIR"""
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))

from x_session import SHEET_MARGIN, TEMPLATES, XSession, wait_for  # noqa: E402


def main():
    program, image, out = sys.argv[1:4]
    os.makedirs(out, exist_ok=True)
    work = tempfile.mkdtemp(prefix="quorvane-shots.")
    recovered = os.path.join(work, "recovered")
    os.makedirs(recovered)
    x = XSession(os.path.abspath(program), ["--drive", "C:=" + os.path.abspath(image)], recovered)

    def shot(window, name):
        time.sleep(0.4)
        subprocess.run(["import", "-window", window.id, os.path.join(out, name)], env=x.env,
                       check=True)

    def box():
        return x.wait_window("a message box", "^[Qq]uorvane$", exclude=[x.launcher])

    try:
        shot(x.launcher, "main-window.png")
        x.click_control(x.launcher, "launcher_dialog", 1026)
        about = x.wait_window("the about box", "^About Quorvane$")
        shot(about, "about-box.png")
        x.key("Escape")
        x.wait_gone("the about box", about)

        x.click_control(x.launcher, "launcher_dialog", 1025)
        sheet = x.wait_window("page 1", "^Select directory to place undeleted files$")
        shot(sheet, "page1-output-directory.png")
        x.key("alt+n")
        wait_for("page 2", lambda: sheet.name().startswith("Undelete File If"))
        x.type("C:\\DOCS\\REPORT.TXT")
        x.key("alt+u")
        message = box()
        shot(message, "undelete-message-box.png")
        x.key("Return")
        x.wait_gone("the box", message)
        shot(sheet, "page2-undelete-by-name.png")

        x.key("alt+n")
        wait_for("page 3", lambda: sheet.name().startswith("Select Directory To Search"))
        # Browse (before typing: a cancelled chooser puts back the text
        # the page last stored), C: opened.
        x.click_control(sheet, "search_setup_page", 1015, (SHEET_MARGIN, SHEET_MARGIN))
        chooser = x.wait_window("the volume chooser", "^<< Select directory to search")
        time.sleep(0.3)
        x.key("Right")
        shot(chooser, "volume-chooser.png")
        x.key("Escape")
        x.wait_gone("the volume chooser", chooser)
        x.click_control(sheet, "search_setup_page", 1024, (SHEET_MARGIN, SHEET_MARGIN))
        x.type("C:\\")
        x.key("alt+r")
        shot(sheet, "page3-search-setup.png")
        x.key("alt+m")
        options = x.wait_window("the options dialog", "^Search Options$")
        shot(options, "search-options.png")
        x.key("Escape")
        x.wait_gone("the options dialog", options)
        x.key("alt+n")
        wait_for("page 4", lambda: sheet.name() == "Undelete File(s)")
        x.key("alt+s")
        time.sleep(1.5)
        _, y, _, _ = TEMPLATES["results_page"][1020]
        wx, wy, _, _ = sheet.geometry()
        x.click_at(wx + x.du_x(SHEET_MARGIN) + 40, wy + x.du_y(SHEET_MARGIN + y) + 24)
        shot(sheet, "page4-results.png")
        x.key("Escape")
        x.wait_exit()
    finally:
        x.close()


if __name__ == "__main__":
    main()

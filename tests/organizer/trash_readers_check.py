#!/usr/bin/python3
"""The organizer trash's files read by independent readers.

Runs the trash tests with MARVESTO_TRASH_FILE_OUT and MARVESTO_TRASH_DRAG_OUT
set, so they copy the trash file they wrote and the contacts file a drag
wrote; reads the first with Python's plistlib and the second with
python3-vobject. Exit 77 skips.
"""
import datetime
import os
import subprocess
import sys
import tempfile

try:
    import plistlib
    import vobject
except ImportError:
    print("plistlib or python3-vobject is missing: skipped")
    sys.exit(77)


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def main():
    if len(sys.argv) != 2:
        fail("usage: trash_readers_check.py <test_organizer>")
    with tempfile.TemporaryDirectory() as folder:
        trash = os.path.join(folder, "TrashFile")
        drag = os.path.join(folder, "dragged.vcf")
        env = dict(os.environ, MARVESTO_TRASH_FILE_OUT=trash, MARVESTO_TRASH_DRAG_OUT=drag,
                   QT_QPA_PLATFORM="offscreen")
        run = subprocess.run([sys.argv[1], "--gtest_filter=TrashStoreTest.EntriesRoundTrip*:TrashWindowTest.Drag*"],
                             env=env, capture_output=True, text=True)
        if run.returncode != 0:
            fail("the writing tests failed:\n" + run.stdout + run.stderr)
        with open(trash, "rb") as f:
            root = plistlib.load(f)
        with open(drag, "rb") as f:
            text = f.read().decode("utf-8")

    if root.get("Version") != "1" or not isinstance(root.get("TrashList"), list) or len(root["TrashList"]) != 2:
        fail("trash file root %r" % (root,))
    for entry in root["TrashList"]:
        if sorted(entry) != sorted(["vxData", "deviceName", "deviceID", "deviceIdentifier", "trashedDate",
                                    "isConflict", "property"]):
            fail("entry keys %r" % (sorted(entry),))
        datetime.datetime.strptime(entry["trashedDate"], "%Y-%m-%d %H:%M:%S %z")
        if not isinstance(entry["isConflict"], bool) or entry["property"] not in (0, 1):
            fail("entry %r" % (entry,))
    if "BEGIN:VCARD" not in root["TrashList"][0]["vxData"] or "VCALENDAR" not in root["TrashList"][1]["vxData"]:
        fail("entry texts %r" % (root["TrashList"],))

    cards = list(vobject.readComponents(text))
    names = [card.n.value.family for card in cards]
    if names != ["Berg", "Lee", "Müller"]:
        fail("dragged contacts %r" % (names,))
    print("trash file read by plistlib, dragged contacts by vobject")
    return 0


if __name__ == "__main__":
    sys.exit(main())

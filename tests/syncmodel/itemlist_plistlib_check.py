#!/usr/bin/python3
"""Stored item lists read back by Python's plistlib.

Runs the item list storage test with MARVESTO_ITEMLIST_PLIST_OUT set, so it
writes a desktop sync form and a raw form with the program's property-list
writer, then reads both with plistlib and checks their shape. Exit 77 skips.
"""
import os
import subprocess
import sys
import tempfile

try:
    import plistlib
except ImportError:
    print("plistlib is missing: skipped")
    sys.exit(77)


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def main():
    if len(sys.argv) != 2:
        fail("usage: itemlist_plistlib_check.py <test_syncmodel>")
    with tempfile.TemporaryDirectory() as folder:
        env = dict(os.environ, MARVESTO_ITEMLIST_PLIST_OUT=folder, QT_QPA_PLATFORM="offscreen")
        run = subprocess.run([sys.argv[1], "--gtest_filter=ItemListStorageTest.SyncForm*"], env=env,
                             capture_output=True, text=True)
        if run.returncode != 0:
            fail("the writing test failed:\n" + run.stdout + run.stderr)
        with open(os.path.join(folder, "sync.plist"), "rb") as f:
            sync = plistlib.load(f)
        with open(os.path.join(folder, "raw.plist"), "rb") as f:
            raw = plistlib.load(f)

    items = sync.get("Items")
    if not isinstance(items, list) or len(items) != 4:
        fail("sync form: Items %r" % (items,))
    for entry in items:
        vx = entry.get("vx-Dict")
        if not isinstance(vx, dict) or not str(vx.get("UUID", "")).startswith("Tarnex:"):
            fail("sync form: item %r" % (entry,))
    flags = sorted((bool(e["vx-Dict"].get("TEMP_CHANGED_FLAG")), bool(e["vx-Dict"].get("TEMP_DELETED_FLAG")))
                   for e in items)
    if flags != [(False, False), (False, False), (False, True), (True, False)]:
        fail("sync form: flags %r" % (flags,))
    changes = sync.get("SyncEngineChanges")
    if [(c.get("type"), c.get("recordIdentifier")) for c in changes] != [(2, "Tarnex:Bert"), (3, "Tarnex:Cleo")]:
        fail("sync form: changes %r" % (changes,))
    if not isinstance(changes[0].get("changes"), list) or changes[0]["changes"][0].get("name") != "first name":
        fail("sync form: property changes %r" % (changes[0],))
    if sync.get("SyncMode") != 3 or not isinstance(sync.get("LastSyncTime"), str):
        fail("sync form: SyncMode / LastSyncTime %r %r" % (sync.get("SyncMode"), sync.get("LastSyncTime")))
    if sync.get("InvisibleDeletionElems") != ["9"] or sync.get("Custom") != "kept":
        fail("sync form: list info %r" % (sync,))
    if sync.get("Groups", {}).get("Tarnex:g", {}).get("members") != ["Tarnex:Anna"]:
        fail("sync form: groups %r" % (sync.get("Groups"),))

    raw_items = raw.get("Items")
    if not isinstance(raw_items, list) or len(raw_items) != 1:
        fail("raw form: Items %r" % (raw_items,))
    text = raw_items[0].get("vx-Data")
    if not isinstance(text, str) or "BEGIN:VCARD" not in text or raw_items[0].get("SourceURI") != "1":
        fail("raw form: item %r" % (raw_items[0],))
    if "TEMP_DELETED_FLAG" in raw_items[0] or raw.get("SyncML-Protocol") != "Phone":
        fail("raw form: flags or list info %r" % (raw,))
    print("stored item lists read back by plistlib")
    return 0


if __name__ == "__main__":
    sys.exit(main())

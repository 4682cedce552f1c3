#!/usr/bin/env python3
"""Checks the built manual with the PDF tools of the system: pdfinfo reads it,
pdftotext finds every chapter title in its text, and qpdf finds an outline
entry for every "MBookMark_N" label of the string tables."""
import json
import pathlib
import subprocess
import sys


def main(pdf, strings_folder):
    table = {}
    for path in sorted(pathlib.Path(strings_folder).glob("*.json")):
        table.update(json.loads(path.read_text(encoding="utf-8")))
    labels = [value for key, value in table.items() if key.startswith("MBookMark_")]
    info = subprocess.run(["pdfinfo", pdf], capture_output=True, text=True, check=True).stdout
    pages = int(next(line.split()[-1] for line in info.splitlines() if line.startswith("Pages:")))
    assert pages >= len(labels), info
    text = subprocess.run(["pdftotext", pdf, "-"], capture_output=True, text=True, check=True).stdout
    outline = json.loads(subprocess.run(["qpdf", "--json", "--json-key=outlines", pdf],
                                        capture_output=True, text=True, check=True).stdout)["outlines"]
    titles = set()
    stack = list(outline)
    while stack:
        entry = stack.pop()
        titles.add(entry["title"])
        stack.extend(entry.get("kids", []))
    missing = [label for label in labels if label not in titles or label not in text]
    if missing:
        sys.exit("manual lacks: %s" % missing)
    print("manual: %d pages, %d outline entries, every bookmark label found" % (pages, len(titles)))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])

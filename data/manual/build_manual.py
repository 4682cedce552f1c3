#!/usr/bin/env python3
"""Builds the user manual (Manual.pdf) from manual.txt with reportlab.

Chapters ("= N") take their titles from the string key MBookMark_N of the
program's string tables, so the outline entries carry exactly the labels the
program searches for when it opens the manual at a bookmark.

usage: build_manual.py manual.txt strings-folder output.pdf
"""
import json
import pathlib
import sys

from reportlab.lib.enums import TA_LEFT
from reportlab.lib.pagesizes import A4
from reportlab.lib.styles import ParagraphStyle, getSampleStyleSheet
from reportlab.lib.units import cm
from reportlab.platypus import (ListFlowable, ListItem, PageBreak, Paragraph,
                                SimpleDocTemplate, Spacer)
from xml.sax.saxutils import escape


def load_strings(folder):
    table = {}
    for path in sorted(pathlib.Path(folder).glob("*.json")):
        table.update(json.loads(path.read_text(encoding="utf-8")))
    return table


class Heading(Paragraph):
    """A paragraph that becomes an outline entry where it is drawn."""

    def __init__(self, text, style, level, key):
        super().__init__(escape(text), style)
        self.outline_text = text
        self.level = level
        self.key = key

    def draw(self):
        super().draw()
        canvas = self.canv
        canvas.bookmarkPage(self.key)
        canvas.addOutlineEntry(self.outline_text, self.key, level=self.level, closed=False)


def parse(lines, strings):
    """Yields (kind, payload) pairs: chapter, section, para, item."""
    paragraph = []

    def flush():
        if paragraph:
            yield ("para", " ".join(paragraph))
            paragraph.clear()

    for raw in lines:
        line = raw.rstrip("\n")
        if line.startswith("%"):
            continue
        if line.startswith("== "):
            yield from flush()
            yield ("section", line[3:].strip())
        elif line.startswith("= "):
            yield from flush()
            number = int(line[2:].strip())
            key = "MBookMark_%d" % number
            if key not in strings:
                raise SystemExit("manual: no string for %s" % key)
            yield ("chapter", (number, strings[key]))
        elif line.startswith("- "):
            yield from flush()
            yield ("item", line[2:].strip())
        elif not line.strip():
            yield from flush()
        elif paragraph or not line.startswith(" "):
            paragraph.append(line.strip())
    yield from flush()


def build(source, strings_folder, output):
    strings = load_strings(strings_folder)
    title = strings.get("ManualTitle", "Manual")
    styles = getSampleStyleSheet()
    body = ParagraphStyle("body", parent=styles["BodyText"], fontSize=10.5, leading=14, alignment=TA_LEFT)
    chapter = ParagraphStyle("chapter", parent=styles["Heading1"], fontSize=17, spaceBefore=6, spaceAfter=10)
    section = ParagraphStyle("section", parent=styles["Heading2"], fontSize=12.5, spaceBefore=10, spaceAfter=4)

    story = [Paragraph(escape(title), styles["Title"]), Spacer(1, 0.6 * cm)]
    items = []
    sections = 0
    first_chapter = True

    def end_list():
        if items:
            story.append(ListFlowable([ListItem(Paragraph(escape(t), body), leftIndent=14) for t in items],
                                      bulletType="bullet", start="\u2022", leftIndent=14))
            items.clear()

    for kind, payload in parse(pathlib.Path(source).read_text(encoding="utf-8").splitlines(), strings):
        if kind != "item":
            end_list()
        if kind == "chapter":
            number, label = payload
            if not first_chapter:
                story.append(PageBreak())
            first_chapter = False
            story.append(Heading(label, chapter, 0, "MBookMark_%d" % number))
        elif kind == "section":
            sections += 1
            story.append(Heading(payload, section, 1, "section_%d" % sections))
        elif kind == "para":
            story.append(Paragraph(escape(payload), body))
        else:
            items.append(payload)
    end_list()

    def footer(canvas, document):
        canvas.saveState()
        canvas.setFont("Helvetica", 8.5)
        canvas.drawCentredString(A4[0] / 2, 1.2 * cm, "%s \u2013 %d" % (title, document.page))
        canvas.restoreState()

    temporary = pathlib.Path(str(output) + ".part")
    document = SimpleDocTemplate(str(temporary), pagesize=A4, title=title, author="Marvesto LG",
                                 leftMargin=2.2 * cm, rightMargin=2.2 * cm, topMargin=2 * cm, bottomMargin=2 * cm)
    document.build(story, onFirstPage=footer, onLaterPages=footer)
    temporary.replace(output)


if __name__ == "__main__":
    if len(sys.argv) != 4:
        raise SystemExit(__doc__)
    build(sys.argv[1], sys.argv[2], sys.argv[3])

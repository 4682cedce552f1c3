#!/usr/bin/env python3
"""Checks the layers of src/ against src/layers.txt.

- Every source file lies in a listed folder, and includes headers only of its
  own folder and of folders in lower layers (and, for a folder with "only",
  of the folders named there).
- The link dependencies of each library match its includes: a library links
  (directly or through its dependencies) every library whose headers it
  includes, and a static subsystem library links nothing it never includes.
- src/CMakeLists.txt adds the folders in layer order.
- The logging rule: named logs are written through QVLogWith / QVLOG (only
  the named-log code itself calls QVLogToNamedLog); console diagnostics go
  through a logging category, one per folder, declared in the folder's log
  header (<Name>Log.h).

Each fault is printed as "path:line: text"; the exit status is 1 when there
was one. Usage: check-layers.py [source root, default: the project's src/]
"""

import os
import re
import sys

SOURCE_SUFFIXES = (".h", ".hpp", ".c", ".cpp")
INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^>"]+)[>"]')
CALL = re.compile(r"\b(marvesto_subsystem|add_library|add_executable|target_link_libraries)\s*\(([^)]*)\)", re.S)
SUBDIRECTORY = re.compile(r"^\s*add_subdirectory\s*\(\s*([^\s)]+)", re.M)
PLAIN_CONSOLE = re.compile(r"\bq(Debug|Info|Warning|Critical)\s*\(")
EAGER_NAMED_LOG = re.compile(r"\bQVLogToNamedLog\s*\(")
DEFINE_CATEGORY = re.compile(r"^\s*Q_LOGGING_CATEGORY\s*\(")
DECLARE_CATEGORY = re.compile(r"^\s*Q_DECLARE_LOGGING_CATEGORY\s*\(")
NAMED_LOG_CODE = "foundation/NamedLog."


def logging_faults(relative, lines, categories):
    """Faults of one file against the logging rule; categories counts the
    categories defined per directory."""
    faults = []
    for number, line in enumerate(lines, 1):
        code = line.split("//", 1)[0]
        where = f"src/{relative}:{number}"
        if PLAIN_CONSOLE.search(code):
            faults.append(f"{where}: console diagnostics go through the folder's logging category (qCWarning, ...)")
        if EAGER_NAMED_LOG.search(code) and not relative.startswith(NAMED_LOG_CODE):
            faults.append(f"{where}: named logs are written through QVLogWith or QVLOG")
        if DECLARE_CATEGORY.match(code) and not relative.endswith("Log.h"):
            faults.append(f"{where}: a logging category is declared in the folder's log header (<Name>Log.h)")
        if DEFINE_CATEGORY.match(code):
            directory = os.path.dirname(relative)
            categories[directory] = categories.get(directory, 0) + 1
            if categories[directory] > 1:
                faults.append(f"{where}: a second logging category in {directory}")
    return faults


class Layers:
    def __init__(self, path):
        self.path = path
        self.rank = {}    # folder -> (layer, line)
        self.only = {}    # folder -> set of folders it may include
        self.faults = []
        with open(path, encoding="utf-8") as f:
            for number, line in enumerate(f, 1):
                words = line.split("#", 1)[0].split()
                if not words:
                    continue
                try:
                    layer = float(words[0])
                except ValueError:
                    self.faults.append(f"{path}:{number}: a line starts with its layer number")
                    continue
                folders, only = words[1:], None
                if "only" in folders:
                    at = folders.index("only")
                    folders, only = folders[:at], set(folders[at + 1:])
                for folder in folders:
                    if folder in self.rank:
                        self.faults.append(f"{path}:{number}: {folder} is listed twice")
                    self.rank[folder] = layer
                    if only is not None:
                        self.only[folder] = only

    def folder_of(self, directory):
        """The listed folder a directory (relative to src/) belongs to, or None."""
        while directory:
            if directory in self.rank:
                return directory
            directory = os.path.dirname(directory)
        return None


def cmake_targets(src):
    """Targets defined under src/: name -> {home, deps, subsystem, file, line}.

    A subsystem is a static library of one folder: its link line is exactly
    what it includes. The shared libraries and the program are products whose
    link lines the design sets; their includes must be linked all the same.
    """
    targets = {}
    calls = []
    for directory, _, files in os.walk(src):
        if "CMakeLists.txt" not in files:
            continue
        path = os.path.join(directory, "CMakeLists.txt")
        with open(path, encoding="utf-8") as f:
            text = f.read()
        home = os.path.relpath(directory, src)
        for match in CALL.finditer(text):
            words = match.group(2).split()
            if not words:
                continue
            line = text.count("\n", 0, match.start()) + 1
            calls.append((match.group(1), words, home, path, line))
    for kind, words, home, path, line in calls:
        if kind != "target_link_libraries":
            static = kind == "marvesto_subsystem" and "SHARED" not in words
            targets[words[0]] = {"home": home, "deps": set(), "subsystem": static,
                                 "file": path, "line": line}
    for kind, words, home, path, line in calls:
        name = words[0]
        if name in targets:
            targets[name]["deps"].update(w for w in words[1:] if w in targets and w != name)
    return targets


def closure(targets, name):
    seen, todo = set(), list(targets[name]["deps"])
    while todo:
        dep = todo.pop()
        if dep not in seen:
            seen.add(dep)
            todo.extend(targets[dep]["deps"])
    return seen


def main():
    src = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "src"))
    layers = Layers(os.path.join(src, "layers.txt"))
    faults = list(layers.faults)
    show = lambda path: os.path.relpath(path, os.path.dirname(src))

    targets = cmake_targets(src)
    homes = {t["home"]: name for name, t in targets.items()}

    def target_of(directory):
        while True:
            if directory in homes:
                return homes[directory]
            if not directory or directory == ".":
                return None
            directory = os.path.dirname(directory)

    included = {name: set() for name in targets}   # target -> targets it includes
    categories = {}
    for directory, subdirectories, files in os.walk(src):
        subdirectories.sort()
        here = os.path.relpath(directory, src)
        for name in sorted(files):
            if not name.endswith(SOURCE_SUFFIXES):
                continue
            path = os.path.join(directory, name)
            own = layers.folder_of(here if here != "." else "")
            if own is None:
                faults.append(f"{show(path)}:1: the folder {here} is not in src/layers.txt")
                continue
            own_target = target_of(here)
            with open(path, encoding="utf-8", errors="replace") as f:
                lines = f.readlines()
            faults.extend(logging_faults(os.path.relpath(path, src), lines, categories))
            for number, line in enumerate(lines, 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                header = match.group(1)
                if os.path.isfile(os.path.join(src, header)):
                    resolved = os.path.normpath(header)
                elif os.path.isfile(os.path.join(directory, header)):
                    resolved = os.path.relpath(os.path.normpath(os.path.join(directory, header)), src)
                else:
                    continue   # a system, Qt or generated header
                if resolved.startswith(".."):
                    continue
                theirs = layers.folder_of(os.path.dirname(resolved))
                where = f"{show(path)}:{number}"
                if theirs is None:
                    faults.append(f"{where}: includes {header}, whose folder is not in src/layers.txt")
                    continue
                if theirs == own:
                    continue
                if layers.rank[theirs] >= layers.rank[own]:
                    faults.append(f"{where}: includes {header}: {theirs} (layer {layers.rank[theirs]:g}) "
                                  f"is not below {own} (layer {layers.rank[own]:g})")
                elif own in layers.only and theirs not in layers.only[own]:
                    faults.append(f"{where}: includes {header}: {own} may include only "
                                  + ", ".join(sorted(layers.only[own])))
                their_target = target_of(os.path.dirname(resolved))
                if own_target and their_target and their_target != own_target:
                    included[own_target].add(their_target)
                    if their_target not in closure(targets, own_target):
                        faults.append(f"{where}: includes {header}, but {own_target} does not link {their_target}")

    for name, target in sorted(targets.items()):
        if not target["subsystem"]:
            continue
        for dep in sorted(target["deps"] - included[name]):
            # A shared library counts as included through the static parts
            # it carries.
            if not targets[dep]["subsystem"] and closure(targets, dep) & included[name]:
                continue
            faults.append(f"{show(target['file'])}:{target['line']}: {name} links {dep}, but includes none of its headers")

    top = os.path.join(src, "CMakeLists.txt")
    if os.path.isfile(top):
        with open(top, encoding="utf-8") as f:
            text = f.read()
        previous = None
        for match in SUBDIRECTORY.finditer(text):
            folder = match.group(1)
            ranks = [r for f, r in layers.rank.items() if f == folder or f.startswith(folder + "/")]
            if not ranks:
                continue
            rank = min(ranks)
            if previous is not None and rank < previous[1]:
                line = text.count("\n", 0, match.start()) + 1
                faults.append(f"{show(top)}:{line}: {folder} (layer {rank:g}) is added after {previous[0]} "
                              f"(layer {previous[1]:g})")
            if previous is None or rank > previous[1]:
                previous = (folder, rank)

    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())

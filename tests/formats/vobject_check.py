#!/usr/bin/env python3
"""Reads the vCard writer's corpus with python3-vobject and compares names,
organisations, numbers, e-mail addresses, their types, addresses and photos
with the summary beside each contact.

    vobject_check.py <folder>        exit 0 when all agree, 77 without vobject
    vobject_check.py --dump <file>   prints the summary of every card of the
                                     file, notes and job titles included, as
                                     one JSON list
"""
import hashlib
import json
import pathlib
import sys

try:
    import vobject
except ImportError:
    print("python3-vobject is not installed")
    sys.exit(77)

# Parameters that describe the value's encoding, not its type.
NOT_TYPES = {"ENCODING", "CHARSET", "QUOTED-PRINTABLE", "BASE64", "B"}


def types_of(line):
    types = list(line.params.get("TYPE", [])) + list(line.singletonparams)
    return sorted(t.upper() for t in types if t.upper() not in NOT_TYPES)


def summary_of(card, with_texts=False):
    contents = card.contents
    n = card.n.value
    result = {"name": [n.family, n.given, n.additional, n.prefix, n.suffix]}
    if "org" in contents:
        result["org"] = list(card.org.value)
    for key in ("tel", "email"):
        if key in contents:
            result[key] = [{"value": line.value, "types": types_of(line)} for line in contents[key]]
    if "adr" in contents:
        result["adr"] = [{
            "box": a.value.box, "extended": a.value.extended, "street": a.value.street,
            "city": a.value.city, "region": a.value.region, "code": a.value.code,
            "country": a.value.country, "types": types_of(a)} for a in contents["adr"]]
    if "photo" in contents:
        value = card.photo.value
        if isinstance(value, str):
            value = value.encode("latin-1")
        result["photo_md5"] = hashlib.md5(value).hexdigest()
    if with_texts:
        for key in ("note", "title"):
            if key in contents:
                result[key] = contents[key][0].value
    return result


def normalised(summary):
    for key in ("tel", "email", "adr"):
        for entry in summary.get(key, []):
            entry["types"] = sorted(entry["types"])
    return summary


def dump(path):
    text = pathlib.Path(path).read_bytes().decode("utf-8")
    print(json.dumps([summary_of(card, with_texts=True) for card in vobject.readComponents(text)]))
    return 0


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--dump":
        return dump(sys.argv[2])
    folder = pathlib.Path(sys.argv[1])
    failures = 0
    for expected_file in sorted(folder.glob("*.json")):
        expected = normalised(json.loads(expected_file.read_text(encoding="utf-8")))
        for version in ("21", "30"):
            path = folder / f"{expected_file.stem}-{version}.vcf"
            try:
                got = normalised(summary_of(vobject.readOne(path.read_bytes().decode("utf-8"))))
            except Exception as error:  # a form vobject cannot read
                print(f"{path.name}: not readable: {error!r}")
                failures += 1
                continue
            for key in sorted(set(expected) | set(got)):
                if expected.get(key) != got.get(key):
                    print(f"{path.name}: {key}: expected {expected.get(key)!r}, read {got.get(key)!r}")
                    failures += 1
    print(f"{failures} difference(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Checks that the API reference puts every public declaration into a subsystem's group.

Reads Doxygen's XML output (the folder given, build/dev/docs/xml by default) and lists every
header (but the umbrella fieldkit.h), class, function, variable, type and macro of the public
headers that no group holds; exits 1 when there is one, so a header that forgets its group
fails the check as an undocumented declaration fails Doxygen. Nested classes belong to their
outer class, and fieldkit::detail is internal, so both are left out.
"""
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

MEMBER_KINDS = {"function", "variable", "typedef", "enum", "define"}


def main():
    xml = Path(sys.argv[1] if len(sys.argv) > 1 else "build/dev/docs/xml")
    if not (xml / "index.xml").is_file():
        sys.exit(f"check-groups: no Doxygen XML in {xml} (GENERATE_XML off, or no docs build?)")
    classes, members, files, nested, groups = set(), set(), set(), set(), 0
    for path in xml.glob("*.xml"):
        root = ET.parse(path).getroot()
        for compound in root.iter("compounddef"):
            inner = {c.get("refid") for c in compound.findall("innerclass")}
            if compound.get("kind") == "group":
                groups += 1
                classes |= inner
                files |= {f.get("refid") for f in compound.findall("innerfile")}
                members |= {m.get("id") for m in compound.iter("memberdef")}
            elif compound.get("kind") in ("class", "struct", "union"):
                nested |= inner
    if groups == 0:
        sys.exit(f"check-groups: no group at all in {xml}")
    missing = []
    for compound in ET.parse(xml / "index.xml").getroot().findall("compound"):
        kind, name = compound.get("kind"), compound.findtext("name")
        if "detail" in name.split("::"):
            continue
        if kind in ("class", "struct", "union"):
            if compound.get("refid") not in classes | nested:
                missing.append(f"{kind} {name}")
        if kind == "file" and name.endswith(".h") and name != "fieldkit.h":
            if compound.get("refid") not in files:
                missing.append(f"header {name}")
        if kind in ("namespace", "file"):
            for member in compound.findall("member"):
                if member.get("kind") in MEMBER_KINDS and member.get("refid") not in members:
                    missing.append(f"{member.get('kind')} {member.findtext('name')} ({name})")
    for line in sorted(set(missing)):
        print(f"check-groups: in no group: {line}", file=sys.stderr)
    if missing:
        sys.exit(f"check-groups: {len(set(missing))} in no group; put each "
                 "header's declarations in its folder's group (/// @addtogroup ... /// @{ ... /// @})")
    print(f"check-groups: every public declaration is in one of {groups} groups")


if __name__ == "__main__":
    main()

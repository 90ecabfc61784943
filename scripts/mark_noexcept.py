#!/usr/bin/env python3
"""Marks the library's C interface noexcept.

Every KAV_API function declared in a public header (src/lib/*/*.h) gets
KAV_NOEXCEPT after its parameter list, in the header and at its definition in
the library's sources. Running it again changes nothing; run it after adding
public functions."""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
lib = root / "src" / "lib"

decl = re.compile(r"^(KAV_API\b[^;{}]*?\b(\w+)\s*\(([^;{}]*?)\))(\s*);", re.M | re.S)
# Every declared function, marked already or not: its definition is marked too.
declared = re.compile(r"^KAV_API\b[^;{}(]*?\b(\w+)\s*\(", re.M)
names = set()
for h in sorted(lib.glob("*/*.h")):
    text = h.read_text()

    def mark(m):
        names.add(m.group(2))
        head = m.group(1)
        # GNU attributes after the parameter list follow the specifier.
        at = head.find("__attribute__")
        if at >= 0:
            cut = head.rstrip()[:at].rstrip()
            return cut + " KAV_NOEXCEPT " + head[at:] + m.group(4) + ";"
        return head + " KAV_NOEXCEPT" + m.group(4) + ";"

    names.update(declared.findall(text))
    new = decl.sub(lambda m: m.group(0) if "KAV_NOEXCEPT" in m.group(0) else mark(m), text)
    if new != text:
        h.write_text(new)

if not names:
    sys.exit(0)
alt = "|".join(sorted(names, key=len, reverse=True))
defn = re.compile(
    r"^([A-Za-z_][^;{}()#/]*?[\s*&](?:" + alt + r")\s*\(([^;{}]*?)\))(\s*)\{", re.M | re.S)
for src in sorted(lib.glob("*/*.cpp")):
    text = src.read_text()
    new = defn.sub(lambda m: m.group(1) + " KAV_NOEXCEPT" + (m.group(3) or " ") + "{", text)
    if new != text:
        src.write_text(new)

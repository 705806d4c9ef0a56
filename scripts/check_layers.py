#!/usr/bin/env python3
"""Fails when a module includes another module's internals.

platform/ includes no product code; docmodel/, device/, targetctl/, trainer/, catalog/ and tools/
reach each other only through interfaces/. An include is resolved the way the build may resolve
it: beside the including file, else any file of the tree whose path ends with the included path.
It is a violation when every file it could name lies in a module the includer may not reach.
"""
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PRODUCT = ("docmodel", "device", "targetctl", "trainer", "catalog", "tools")
SOURCES = (".h", ".cpp", ".c")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def module_of(rel):
    top = rel.split("/", 1)[0]
    return top if top in PRODUCT + ("platform", "interfaces") else None


def allowed(src, dst):
    if dst is None or dst == src or dst == "interfaces":
        return True
    if src == "platform":
        return False
    if src == "interfaces":
        return dst == "platform"
    return dst == "platform"


def main():
    files = []
    for top in PRODUCT + ("platform", "interfaces"):
        for base, _, names in os.walk(os.path.join(ROOT, top)):
            files += [os.path.relpath(os.path.join(base, n), ROOT) for n in names if n.endswith(SOURCES)]
    by_tail = {}
    for f in files:
        parts = f.split("/")
        for i in range(len(parts)):
            by_tail.setdefault("/".join(parts[i:]), []).append(f)
    bad = []
    for f in files:
        src = module_of(f)
        with open(os.path.join(ROOT, f), encoding="utf-8", errors="replace") as text:
            body = text.read()
        for inc in INCLUDE.findall(body):
            beside = os.path.normpath(os.path.join(os.path.dirname(f), inc))
            targets = [beside] if os.path.exists(os.path.join(ROOT, beside)) else by_tail.get(inc, [])
            if targets and not any(allowed(src, module_of(t)) for t in targets):
                bad.append(f'{f}: "{inc}" reaches into {module_of(targets[0])}/')
    known = set()
    with open(os.path.join(ROOT, "scripts", "layer_exceptions.txt"), encoding="utf-8") as text:
        known = {line.strip() for line in text if line.strip() and not line.startswith("#")}
    new = [line for line in bad if line not in known]
    for line in new:
        print(line)
    gone = known - set(bad)
    for line in sorted(gone):
        print(f"no longer found, remove from scripts/layer_exceptions.txt: {line}")
    return 1 if new or gone else 0


if __name__ == "__main__":
    sys.exit(main())

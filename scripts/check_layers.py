#!/usr/bin/env python3
"""Fails when a module includes another module's internals.

platform/ includes nothing above it (no product code, nothing of interfaces/); docmodel/, device/,
targetctl/, trainer/, catalog/ and tools/ reach each other only through interfaces/. An include is resolved the way the build may resolve
it: beside the including file, else any file of the tree whose path ends with the included path.
It is a violation when every file it could name lies in a module the includer may not reach.
With --self-test it checks itself on small trees of its own making instead.
"""
import os
import re
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PRODUCT = ("docmodel", "device", "targetctl", "trainer", "catalog", "tools")
SOURCES = (".h", ".cpp", ".c")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def module_of(rel):
    top = rel.split("/", 1)[0]
    return top if top in PRODUCT + ("platform", "interfaces") else None


def allowed(src, dst):
    if dst is None or dst == src:
        return True
    if src == "platform":
        return False
    if dst == "interfaces":
        return True
    if src == "interfaces":
        return dst == "platform"
    return dst == "platform"


def violations(root):
    files = []
    for top in PRODUCT + ("platform", "interfaces"):
        for base, _, names in os.walk(os.path.join(root, top)):
            files += [os.path.relpath(os.path.join(base, n), root) for n in names if n.endswith(SOURCES)]
    by_tail = {}
    for f in files:
        parts = f.split("/")
        for i in range(len(parts)):
            by_tail.setdefault("/".join(parts[i:]), []).append(f)
    bad = []
    for f in files:
        src = module_of(f)
        with open(os.path.join(root, f), encoding="utf-8", errors="replace") as text:
            body = text.read()
        for inc in INCLUDE.findall(body):
            beside = os.path.normpath(os.path.join(os.path.dirname(f), inc))
            targets = [beside] if os.path.exists(os.path.join(root, beside)) else by_tail.get(inc, [])
            if targets and not any(allowed(src, module_of(t)) for t in targets):
                bad.append(f'{f}: "{inc}" reaches into {module_of(targets[0])}/')
    return bad


def check(root, out=print):
    bad = violations(root)
    known = set()
    with open(os.path.join(root, "scripts", "layer_exceptions.txt"), encoding="utf-8") as text:
        known = {line.strip() for line in text if line.strip() and not line.startswith("#")}
    new = [line for line in bad if line not in known]
    for line in new:
        out(line)
    gone = known - set(bad)
    for line in sorted(gone):
        out(f"no longer found, remove from scripts/layer_exceptions.txt: {line}")
    return 1 if new or gone else 0


def self_test():
    """The check on trees of known content: each case names its files, its exceptions and the
    result and lines it must give."""
    cases = [
        ("allowed includes pass",
         {"platform/com/a.h": "", "interfaces/i.h": '#include "com/a.h"\n',
          "device/usb/u.cpp": '#include "i.h"\n#include "com/a.h"\n#include "device/usb/u.h"\n',
          "device/usb/u.h": "", "trainer/x.cpp": '#include "usb/u.h"\n', "platform/usb/u.h": ""},
         "", 0, []),
        ("platform including product code fails",
         {"platform/shell/s.cpp": '#include "item.h"\n', "catalog/common/item.h": ""},
         "", 1, ['platform/shell/s.cpp: "item.h" reaches into catalog/']),
        ("platform including interfaces fails",
         {"platform/shell/s.cpp": '#include "names.h"\n', "interfaces/names.h": ""},
         "", 1, ['platform/shell/s.cpp: "names.h" reaches into interfaces/']),
        ("a module including another's internals fails",
         {"trainer/p/d.cpp": '#include  "device/usb/ids.h"\n', "device/usb/ids.h": ""},
         "", 1, ['trainer/p/d.cpp: "device/usb/ids.h" reaches into device/']),
        ("a listed exception passes",
         {"tools/l/m.cpp": '# include "wire.h"\n', "trainer/p/wire.h": ""},
         'tools/l/m.cpp: "wire.h" reaches into trainer/\n', 0, []),
        ("an exception no longer found fails",
         {"tools/l/m.cpp": ""},
         'tools/l/m.cpp: "wire.h" reaches into trainer/\n', 1,
         ['no longer found, remove from scripts/layer_exceptions.txt: tools/l/m.cpp: "wire.h" reaches into trainer/']),
    ]
    failed = 0
    for name, tree, exceptions, want, lines in cases:
        with tempfile.TemporaryDirectory() as root:
            tree = dict(tree, **{"scripts/layer_exceptions.txt": "# comment\n" + exceptions})
            for rel, body in tree.items():
                os.makedirs(os.path.dirname(os.path.join(root, rel)), exist_ok=True)
                with open(os.path.join(root, rel), "w", encoding="utf-8") as f:
                    f.write(body)
            said = []
            got = check(root, said.append)
            if got != want or said != lines:
                failed += 1
                print(f"self-test failed: {name}: returned {got}, said {said}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(self_test() if sys.argv[1:] == ["--self-test"] else check(ROOT))

#!/usr/bin/env python3
"""Fails when a module includes another module's internals, or a part of the trainer reaches up.

platform/ includes nothing above it (no product code, nothing of interfaces/); docmodel/, device/,
targetctl/, trainer/, catalog/ and tools/ reach each other only through interfaces/. An include is resolved the way the build may resolve
it: beside the including file, else any file of the tree whose path ends with the included path.
It is a violation when every file it could name lies in a module the includer may not reach.
Inside trainer/ each folder is a part on one of the layers of TRAINER_LAYERS: a part includes and
links (target_link_libraries, or another target's include folders) only parts of lower layers.
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
# Lowest first. A part may use the parts of the layers below its own, not its peers.
TRAINER_LAYERS = (
    ("core",),
    ("document",),
    ("dialogs", "sequencer", "sounds"),
    ("catalogdlg",),
    ("practice", "views"),
    ("app",),
)
LAYER_OF = {part: i for i, layer in enumerate(TRAINER_LAYERS) for part in layer}
CMAKE_CALL = re.compile(
    r"\b(add_library|add_executable|target_link_libraries|target_include_directories)\s*\(([^()]*)\)", re.I)
CMAKE_KEYWORDS = {"PUBLIC", "PRIVATE", "INTERFACE", "STATIC", "SHARED", "OBJECT", "MODULE", "SYSTEM",
                  "BEFORE", "AFTER"}


def module_of(rel):
    top = rel.split("/", 1)[0]
    return top if top in PRODUCT + ("platform", "interfaces") else None


def part_of(rel):
    """The trainer part a file lies in (its first folder below trainer/), or None."""
    parts = rel.split("/")
    return parts[1] if len(parts) > 2 and parts[0] == "trainer" else None


def part_allowed(src, dst):
    if src is None or dst is None or src == dst:
        return True
    if src not in LAYER_OF or dst not in LAYER_OF:
        return False
    return LAYER_OF[dst] < LAYER_OF[src]


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
            reachable = [t for t in targets if allowed(src, module_of(t))]
            if not targets or any(part_allowed(part_of(f), part_of(t)) for t in reachable):
                continue
            if reachable:
                bad.append(f'{f}: "{inc}" reaches up into trainer/{part_of(reachable[0])}/')
            else:
                bad.append(f'{f}: "{inc}" reaches into {module_of(targets[0])}/')
    return bad + link_violations(root) + unplaced_parts(root)


def cmake_calls(root):
    """(file, command, arguments) of the target commands in trainer/'s CMakeLists files."""
    for base, _, names in sorted(os.walk(os.path.join(root, "trainer"))):
        if "CMakeLists.txt" not in names:
            continue
        rel = os.path.relpath(os.path.join(base, "CMakeLists.txt"), root)
        with open(os.path.join(root, rel), encoding="utf-8", errors="replace") as text:
            body = re.sub(r"(^|\s)#[^\n]*", r"\1", text.read())
        for command, args in CMAKE_CALL.findall(body):
            yield rel, command.lower(), args.split()


def used_targets(command, args):
    """The targets a link or include-folder command makes its first argument use."""
    for arg in args[1:]:
        if command == "target_link_libraries" and not arg.startswith("$") and arg not in CMAKE_KEYWORDS:
            yield arg
        yield from re.findall(r"\$<TARGET_[A-Z_]+:([\w.+-]+)", arg)


def link_violations(root):
    calls = list(cmake_calls(root))
    part = {args[0]: part_of(rel) for rel, command, args in calls if command.startswith("add_") and args}
    bad = []
    for rel, command, args in calls:
        if command.startswith("add_") or not args or args[0] not in part:
            continue
        for used in used_targets(command, args):
            if used in part and not part_allowed(part[args[0]], part[used]):
                bad.append(f"{rel}: {args[0]} links {used} of trainer/{part[used]}/")
    return bad


def unplaced_parts(root):
    folder = os.path.join(root, "trainer")
    names = sorted(os.listdir(folder)) if os.path.isdir(folder) else []
    return [f"trainer/{n}/: a part on no layer of TRAINER_LAYERS" for n in names
            if os.path.isdir(os.path.join(folder, n)) and n not in LAYER_OF]


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
         {"trainer/practice/d.cpp": '#include  "device/usb/ids.h"\n', "device/usb/ids.h": ""},
         "", 1, ['trainer/practice/d.cpp: "device/usb/ids.h" reaches into device/']),
        ("a listed exception passes",
         {"tools/l/m.cpp": '# include "wire.h"\n', "trainer/practice/wire.h": ""},
         'tools/l/m.cpp: "wire.h" reaches into trainer/\n', 0, []),
        ("an exception no longer found fails",
         {"tools/l/m.cpp": ""},
         'tools/l/m.cpp: "wire.h" reaches into trainer/\n', 1,
         ['no longer found, remove from scripts/layer_exceptions.txt: tools/l/m.cpp: "wire.h" reaches into trainer/']),
        ("trainer parts using lower layers pass",
         {"trainer/core/s.h": "", "trainer/document/d.h": '#include "s.h"\n',
          "trainer/views/info/v.cpp": '#include "d.h"\n#include "s.h"\n#include "../trace/t.h"\n',
          "trainer/views/trace/t.h": "",
          "trainer/views/info/CMakeLists.txt":
              "add_library(kavro_info STATIC v.cpp) # not kavro_app\n"
              "target_link_libraries(kavro_info PUBLIC kavro_doc Qt6::Widgets)\n",
          "trainer/document/CMakeLists.txt": "add_library(kavro_doc STATIC d.cpp)\n",
          "trainer/app/CMakeLists.txt": "add_library(kavro_app STATIC)\ntarget_link_libraries(kavro_app kavro_info)\n"},
         "", 0, []),
        ("a trainer part including a higher layer fails",
         {"trainer/document/d.cpp": '#include "frame.h"\n', "trainer/app/frame.h": ""},
         "", 1, ['trainer/document/d.cpp: "frame.h" reaches up into trainer/app/']),
        ("a trainer part including a peer of its layer fails",
         {"trainer/sounds/s.cpp": '#include "dialog.h"\n', "trainer/dialogs/dialog.h": ""},
         "", 1, ['trainer/sounds/s.cpp: "dialog.h" reaches up into trainer/dialogs/']),
        ("a trainer part linking a higher layer fails",
         {"trainer/views/chart/CMakeLists.txt":
              "add_library(kavro_charts STATIC c.cpp)\n"
              "target_link_libraries(kavro_charts PUBLIC\n  kavro_core kavro_app)\n",
          "trainer/core/CMakeLists.txt": "add_library(kavro_core STATIC s.cpp)\n",
          "trainer/app/CMakeLists.txt": "add_library(kavro_app STATIC f.cpp)\n"},
         "", 1, ["trainer/views/chart/CMakeLists.txt: kavro_charts links kavro_app of trainer/app/"]),
        ("a trainer part using a higher layer's include folders fails",
         {"trainer/dialogs/CMakeLists.txt":
              "add_library(kavro_dialogs STATIC d.cpp)\n"
              "target_include_directories(kavro_dialogs PUBLIC $<TARGET_PROPERTY:kavro_practice,INCLUDE_DIRECTORIES>)\n",
          "trainer/practice/CMakeLists.txt": "add_library(kavro_practice STATIC p.cpp)\n"},
         "", 1, ["trainer/dialogs/CMakeLists.txt: kavro_dialogs links kavro_practice of trainer/practice/"]),
        ("a trainer folder on no layer fails",
         {"trainer/extras/x.h": ""},
         "", 1, ["trainer/extras/: a part on no layer of TRAINER_LAYERS"]),
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

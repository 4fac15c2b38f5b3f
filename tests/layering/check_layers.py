#!/usr/bin/env python3
"""Keeps the layers in order: a file may include headers of its own layer and of layers below.

    check_layers.py SOURCE_DIR [BUILD_DIR]

With a build folder it also checks what the programs link: quorvel-uucode no QtNetwork or
QtDBus, quorvel-cli no QtWidgets.
"""
import os
import re
import subprocess
import sys

# Lower number = lower layer. Layers of equal height may not include each other.
RANK = {
    "base": 0,
    "codec": 1,
    "article": 2,
    "net": 3,
    "tasks": 4,
    "groups": 5,
    "dialup": 5,
    "upload": 6,
    "app": 7,
    "browser": 8,
    "ui": 9,
    "cli": 9,
}
# The programs that stand on one layer alone.
ONLY = {"uucode": {"codec"}}
# Both forms: every library is built with -I src, so <upload/X.h> reaches a layer as well.
INCLUDE = re.compile(r'^\s*#\s*include\s*(["<])(([^">/]+)/[^">]+)[">]')


def allowed(layer, target):
    if layer in ONLY:
        return target in ONLY[layer] or target == layer
    if layer == "browser":
        return target == "browser"
    return target == layer or RANK[target] < RANK[layer]


def include_faults(src, layer, relative, lines):
    faults = []
    for number, line in enumerate(lines, 1):
        m = INCLUDE.match(line)
        if not m:
            continue
        form, path, target = m.groups()
        # <sys/socket.h>, <net/if.h>, <QtCore/QString>: an angle include names one of ours
        # only when the file is there.
        if form == "<" and not os.path.isfile(os.path.join(src, path)):
            continue
        where = f"src/{relative}:{number}"
        if target not in RANK and target not in ONLY:
            faults.append(f"{where}: includes from unknown folder {target}")
        elif not allowed(layer, target):
            faults.append(f"{where}: {layer} includes {path}, a layer above it")
    return faults


def check_includes(src):
    faults = []
    for layer in sorted(os.listdir(src)):
        folder = os.path.join(src, layer)
        if not os.path.isdir(folder):
            continue
        if layer not in RANK and layer not in ONLY:
            faults.append(f"src/{layer}: a folder that is no known layer")
            continue
        # Subfolders belong to their layer.
        for root, dirs, files in os.walk(folder):
            dirs.sort()
            for name in sorted(files):
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.join(root, name)
                with open(path, encoding="utf-8", errors="replace") as f:
                    faults += include_faults(src, layer, os.path.relpath(path, src), f)
    return faults


def check_links(build):
    faults = []
    rules = {"quorvel-uucode": ("Qt6Network", "Qt6DBus", "Qt6Widgets", "Qt6Gui"), "quorvel-cli": ("Qt6Widgets", "Qt6Gui")}
    for program, banned in rules.items():
        path = os.path.join(build, program)
        if not os.path.exists(path):
            faults.append(f"{path}: not built")
            continue
        libs = subprocess.run(["ldd", path], capture_output=True, text=True).stdout
        faults += [f"{program} links {lib}" for lib in banned if f"lib{lib}.so" in libs]
    return faults


def main():
    faults = check_includes(os.path.join(sys.argv[1], "src"))
    if len(sys.argv) > 2:
        faults += check_links(sys.argv[2])
    for fault in faults:
        print(fault)
    print(f"{len(faults)} layering fault(s)")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())

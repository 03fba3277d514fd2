#!/usr/bin/env python3
"""Checks that every #include in src/ runs to the same floor or a lower one.

Floors, from the bottom: the service interfaces, the text and file helpers, the
component model, the Win32 implementations of both, the services every page uses,
the pages and windows, and on top the main window with start-up. A file named on the
command line after the source folder is checked as if it lived in the folder given
with it ("folder=path"), so the check itself can be shown to fail.
"""
import pathlib
import re
import sys

FLOORS = {
    "platform": 0,
    "common": 1,
    "ui": 2,
    "platform/win32": 3,
    "ui/win32": 3,
    "shell": 4,
    **{page: 5 for page in ("adapter", "proxy", "dnstest", "dnsbench", "profiles", "repair",
                           "update", "i18n", "theme", "about", "changes")},
    "app": 6,
    "": 7,  # main_win.cpp
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def folder_of(relative: str) -> str:
    parts = relative.split("/")[:-1]
    for depth in (2, 1):
        if len(parts) >= depth and "/".join(parts[:depth]) in FLOORS:
            return "/".join(parts[:depth])
    return "/".join(parts)


def problems(folder: str, text: str, name: str) -> list:
    found = []
    if folder not in FLOORS:
        return [f"{name}: the folder '{folder}' has no floor"]
    for target in INCLUDE.findall(text):
        if "/" not in target:
            continue  # generated headers and headers beside the file
        to = folder_of(target)
        if to not in FLOORS:
            continue  # not a folder of ours (generated/)
        if FLOORS[to] > FLOORS[folder]:
            found.append(f"{name}: includes {target} from a higher floor ({folder} -> {to})")
    return found


def main() -> int:
    src = pathlib.Path(sys.argv[1])
    found = []
    for path in sorted(src.rglob("*")):
        if path.suffix in (".h", ".cpp"):
            relative = path.relative_to(src).as_posix()
            found += problems(folder_of(relative), path.read_text(encoding="utf-8"), relative)
    for extra in sys.argv[2:]:
        folder, _, file = extra.partition("=")
        found += problems(folder, pathlib.Path(file).read_text(encoding="utf-8"), extra)
    for line in found:
        print(line)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())

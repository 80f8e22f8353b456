#!/usr/bin/env python3
"""Checks the #include lines of the program's layers against their order.

Layers, lowest first: platform, foundation, media, game, frontend,
multiplayer. A file includes only its own layer and those below it. The
game's wings are ordered the same way (data, logic, assets, core); its data
readers and rules use foundation/ and the lower wings only, and no library
header such as SDL's or Qt's. sysinfo uses foundation/ and platform/ only,
and the front end and multiplayer may use it;
the installer links nothing of the rest and includes only platform/system
headers that have no source file of their own.

Usage: check_layers.py [ROOT]   (default: the source tree this file is in)
Prints every offending line and exits 1 when there is one.
"""
import pathlib
import re
import sys

ORDER = ["platform", "foundation", "media", "game", "frontend", "multiplayer"]
OTHERS = ["sysinfo", "installer"]
# The system inventory stands beside the layers: the front end (start-up
# report, low-memory check) and what sits above it may use it.
SYSINFO_USERS = ("frontend", "multiplayer")
WINGS = ["data", "logic", "assets", "core"]
HEADLESS_WINGS = {"data", "logic"}
SOURCES = {".h", ".hpp", ".cpp", ".cc", ".c", ".inl"}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def unit_of(parts):
    """(layer, wing) of a path given as parts relative to the root."""
    layer = parts[0] if parts else ""
    wing = parts[1] if layer == "game" and len(parts) > 2 and parts[1] in WINGS else None
    return layer, wing


def is_plain_standard_header(name):
    # <vector>, <cstdint>: no folder, no extension, not a Qt class header.
    return "/" not in name and "." not in name and not name.startswith("Q")


def check_file(root, path):
    rel = path.relative_to(root).parts
    layer, wing = unit_of(rel)
    problems = []
    lines = path.read_text(encoding="utf-8", errors="replace").splitlines()
    for number, line in enumerate(lines, 1):
        m = INCLUDE.match(line)
        if not m:
            continue
        quoted, name = m.group(1) == '"', m.group(2)
        where = f"{pathlib.PurePosixPath(*rel)}:{number}: {line.strip()}"
        target = name.split("/")
        target_layer, target_wing = unit_of(target)
        if wing in HEADLESS_WINGS:
            allowed = target_layer in ("foundation", "game") if quoted else is_plain_standard_header(name)
            if not allowed:
                problems.append(f"{where}: game/{wing}/ uses foundation/ and the standard library only")
                continue
        if not quoted or target_layer not in ORDER + OTHERS:
            continue
        if layer == "sysinfo":
            if target_layer not in ("foundation", "platform", "sysinfo"):
                problems.append(f"{where}: sysinfo/ uses foundation/ and platform/ only")
        elif layer == "installer":
            ok = target_layer == "installer"
            if target[:2] == ["platform", "system"]:
                header = root.joinpath(*target)
                ok = header.exists() and not any(header.with_suffix(s).exists() for s in (".cpp", ".cc", ".c"))
            if not ok:
                problems.append(f"{where}: installer/ includes only header-only platform/system files")
        elif target_layer == "sysinfo" and layer in SYSINFO_USERS:
            pass
        elif target_layer in OTHERS or ORDER.index(target_layer) > ORDER.index(layer):
            problems.append(f"{where}: {layer}/ must not include {target_layer}/, a layer above it")
        elif layer == "game" and target_layer == "game" and wing and target_wing \
                and WINGS.index(target_wing) > WINGS.index(wing):
            problems.append(f"{where}: game/{wing}/ must not include game/{target_wing}/, a wing above it")
    return problems


def main(argv):
    root = pathlib.Path(argv[1] if len(argv) > 1 else pathlib.Path(__file__).resolve().parents[2]).resolve()
    problems = []
    checked = 0
    for layer in ORDER + OTHERS:
        folder = root / layer
        if not folder.is_dir():
            continue
        for path in sorted(folder.rglob("*")):
            if path.suffix in SOURCES and path.is_file():
                checked += 1
                problems += check_file(root, path)
    for problem in problems:
        print(problem)
    print(f"{checked} files checked, {len(problems)} wrong includes")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

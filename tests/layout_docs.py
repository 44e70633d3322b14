#!/usr/bin/env python3
# The README's layout and the layers of docs/architecture.md against the
# build's source lists, file for file: every source of cmake/sources.cmake
# (and the few the CMake files add beside it) falls under an entry of each,
# and every file or folder they name is there. Prints each mismatch; exit 1
# on any.
import fnmatch
import re
import sys
from pathlib import Path

ROOT = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).parent.parent)


def built_sources():
    found = set()
    for line in (ROOT / "cmake/sources.cmake").read_text().splitlines():
        found.update(re.findall(r"\$\{S\}/([\w/]+\.(?:cpp|S))", line.split("#")[0]))
    # The programs' entries and the pack tool's module facts, added by their own CMake files.
    for cmake in [ROOT / "CMakeLists.txt", *ROOT.glob("tools/*/CMakeLists.txt")]:
        found.update(re.findall(r"src/([\w/]+\.cpp)", cmake.read_text()))
    return {path for path in found if path.endswith(".cpp")}


def readme_entries():
    text = (ROOT / "README.md").read_text()
    block = text.split("## Layout", 1)[1].split("\n## ", 1)[0]
    entries, current = [], None
    for line in block.splitlines():
        first = re.match(r"    src/(\S+)", line)
        if first:
            current = first.group(1)
            entries.append(current)
        if line.startswith("    ") and not line.startswith("    src/") and line[4:5] != " ":
            current = None  # an entry outside src/
        # Files named beside an entry: "(src/web_main.cpp: ...)" or "(module_seek.cpp: ...)".
        for name in re.findall(r"(?:^\s*|[(;]\s*)(?:src/)?([\w/]+\.cpp):", line):
            if "/" in name or current is None:
                entries.append(name)
            else:
                entries.append(str(Path(current).parent / name))
    return entries


def architecture_entries():
    entries = []
    for line in (ROOT / "docs/architecture.md").read_text().splitlines():
        cells = line.split("|")
        if len(cells) > 3 and cells[2].strip().startswith("`"):
            entries += re.findall(r"`([^`]+)`", cells[2])
    return entries


def covers(entry, path):
    if entry.endswith("/"):
        return path.startswith(entry)
    return fnmatch.fnmatch(path, entry)


def deepest(entries, path):
    matching = [e for e in entries if covers(e, path)]
    return max(matching, key=len) if matching else None


def mismatches(document, entries, sources):
    found = []
    for path in sorted(sources):
        if not deepest(entries, path):
            found.append(f"{document}: src/{path} is in no entry")
    for entry in entries:
        if entry.endswith(".h"):
            exists = any((ROOT / "src").glob(entry))
        elif entry.endswith("/"):
            exists = any(deepest(entries, path) == entry for path in sources)
        else:
            exists = entry in sources
        if not exists:
            found.append(f"{document}: {entry} names no file of the build's sources")
    return found


if __name__ == "__main__":
    sources = built_sources()
    found = mismatches("README.md", readme_entries(), sources)
    found += mismatches("docs/architecture.md", architecture_entries(), sources)
    for line in found:
        print(line)
    print(f"layout_docs: {len(sources)} sources, {len(found)} mismatches")
    sys.exit(1 if found else 0)

#!/usr/bin/env python3
"""Checks every #include of the tree against the folder rules of docs/layout.md.

The rules are the block of docs/layout.md that follows the line
"Which folder may include which:": a line per folder, "folder: allowed ...",
"-" for none. An include of a folder of the tree that its folder's rule does
not allow fails, naming the file, the line, the include and the rule; so does
a folder of the tree that has no rule. A quoted include without a folder
("options.h") is the folder's own file when it lies beside the includer,
else the one file of that name in the tree, wherever it is.

Usage: check_includes.py ROOT, or check_includes.py --self-test: a tree
of two folders, one including the other against its rule, must be refused.
"""
import os
import re
import sys
import tempfile

SOURCE_ENDINGS = (".h", ".hpp", ".c", ".cc", ".cpp")
SKIPPED = {"build", ".git"}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def read_rules(root):
    rules = {}
    with open(os.path.join(root, "docs", "layout.md"), encoding="utf-8") as doc:
        lines = doc.read().splitlines()
    start = next(i for i, line in enumerate(lines) if line.startswith("Which folder may include which:"))
    block = lines[start + 1:]
    fence = next(i for i, line in enumerate(block) if line.startswith("```"))
    for line in block[fence + 1:]:
        if line.startswith("```"):
            break
        if not line.strip():
            continue
        folder, allowed = line.split(":", 1)
        rules[folder.strip()] = set(word for word in allowed.split() if word != "-")
    return rules


def source_files(root):
    for top in sorted(os.listdir(root)):
        if top in SKIPPED or top.startswith(".") or not os.path.isdir(os.path.join(root, top)):
            continue
        for folder, dirs, files in os.walk(os.path.join(root, top)):
            dirs[:] = sorted(d for d in dirs if d not in SKIPPED)
            for name in sorted(files):
                if name.endswith(SOURCE_ENDINGS):
                    yield os.path.relpath(os.path.join(folder, name), root)


def main(root):
    rules = read_rules(root)
    files = list(source_files(root))
    by_name = {}
    for path in files:
        by_name.setdefault(os.path.basename(path), set()).add(path.split(os.sep)[0])
    tops = {path.split(os.sep)[0] for path in files}
    faults = []
    for folder in sorted(tops - set(rules)):
        faults.append(f"{folder}/: no rule in docs/layout.md says what it may include")
    for path in files:
        top = path.split(os.sep)[0]
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as source:
            for number, line in enumerate(source, 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                name = match.group(1)
                if "/" in name:
                    target = name.split("/")[0]
                elif os.path.exists(os.path.join(root, os.path.dirname(path), name)):
                    continue
                elif len(by_name.get(name, ())) == 1:
                    target = next(iter(by_name[name]))
                else:
                    continue  # a header of a library outside the tree
                if target == top or target not in rules and target not in tops:
                    continue
                allowed = rules.get(top, set())
                if target not in allowed:
                    rule = " ".join(sorted(allowed)) or "nothing"
                    faults.append(f'{path}:{number}: includes "{name}" ({target}/), but {top}/ may include {rule}')
    for fault in faults:
        print(fault)
    print(f"{len(files)} files, {len(faults)} includes against the rules")
    return 1 if faults else 0


def self_test():
    with tempfile.TemporaryDirectory() as root:
        for path, text in {
            "docs/layout.md": "Which folder may include which:\n\n```text\nlow: -\nhigh: low\n```\n",
            "low/low.h": '#include "high/high.h"\n',
            "high/high.h": '#include "low/low.h"\n',
        }.items():
            os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
            with open(os.path.join(root, path), "w", encoding="utf-8") as out:
                out.write(text)
        refused = main(root) == 1
    print("self-test:", "the wrong include was refused" if refused else "the wrong include PASSED")
    return 0 if refused else 1


if __name__ == "__main__":
    if sys.argv[1:] == ["--self-test"]:
        sys.exit(self_test())
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "."))

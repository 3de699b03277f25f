#!/usr/bin/env python3
"""Checks that no #include "..." of the product reaches a higher layer, and none goes in a circle.

The layers, from the top; each part may include itself and what stands under it, nothing else:
  app/ (the wizard, over framework/) and console/ stand side by side: neither includes the other.
  msi_action/ (the installer package's custom action) stands beside them: its rules on nothing,
  its Windows side, msi_action/win32/, on them and platform/win32/.
  printer_app/ (the printer application on PAPPL) stands on setupdata/, for the model table.
  framework/ stands on the platform core alone: it is the GUI, and knows nothing of the engine.
  install/ stands on detect/, detect/ on setupdata/, setupdata/ on platform/standin/.
  platform/win32/ and platform/posix/ (with platform/cups/ over it) stand on platform/standin/,
  which stands on the platform core, the files in platform/ itself: the vocabulary every layer uses,
  such as platform/text_types.h. The core names no backend, and the portable engine names none of
  win32/, posix/ or cups/: which backend runs is the programs' choice.
korvel_version.h (generated, macros only) may be included anywhere. Product code never includes
tests/, tools/ or printer_app/tests/; their own includes are not checked.

Why: a part that includes one above or beside it can no longer be built, tested or ported without
it: the portable core would pull in Windows code, the console the wizard. A circle of files, or of
folders (say install/run -> install/cups -> install/run), is one part spread over several places,
none of which can be read, changed or moved alone: so a circle of folders fails the check too. A
folder and its own subfolders are one room (console/ and console/commands/), and may use each other.

Includes are written from the repository root; a path relative to the including file (as in
app/res/app.rc) is tried first, as the compiler does. Run with --self-test to see it catch faults.
"""
import os
import re
import subprocess
import sys
import tempfile

# Each part, and the parts right under it; what stands under those is under it too.
UNDER = {
    "app": {"framework", "install", "platform/win32"},
    "console": {"install", "platform/win32", "platform/cups"},
    "msi_action/win32": {"msi_action", "platform/win32"},
    "msi_action": set(),
    "printer_app": {"setupdata"},
    "framework": {"platform"},
    "install": {"detect"},
    "detect": {"setupdata"},
    "setupdata": {"platform/standin"},
    "platform/win32": {"platform/standin"},
    "platform/cups": {"platform/posix"},
    "platform/posix": {"platform/standin"},
    "platform/standin": {"platform"},
    "platform": set(),
}
FREE = {"korvel_version.h"}
UNCHECKED = {"tests", "tools", "printer_app/tests"}
# Includes that break the rule today, each with why it stands; every run names them.
KNOWN = {}
SOURCES = (".h", ".hpp", ".c", ".cpp", ".rc")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def reach(part):
    return set().union(*({p} | reach(p) for p in UNDER[part]))


REACH = {part: reach(part) for part in UNDER}


def part_of(path):
    parts = path.split("/")
    for key in ("/".join(parts[:2]), parts[0]):
        if key in UNDER or key in UNCHECKED:
            return key
    return None


def list_files(root):
    try:
        out = subprocess.run(["git", "-C", root, "ls-files", "-co", "--exclude-standard"],
                             capture_output=True, text=True, check=True).stdout.splitlines()
    except (OSError, subprocess.CalledProcessError):  # not a work tree, as in the self-test
        out = [os.path.relpath(os.path.join(d, f), root) for d, _, fs in os.walk(root) for f in fs]
    return [f for f in out if f.endswith(SOURCES) and os.path.isfile(os.path.join(root, f))]


def circles(graph):
    """Each circle a depth-first walk meets, as [(node, label), ...] ending at its first node."""
    found, state, path = [], {}, []

    def walk(node):
        state[node] = "open"
        for label, nxt in graph.get(node, ()):
            path.append((node, label))
            if state.get(nxt) == "open":
                start = [n for n, _ in path].index(nxt)
                found.append(path[start:] + [(nxt, None)])
            elif nxt not in state:
                walk(nxt)
            path.pop()
        state[node] = "done"

    for node in sorted(graph):
        if node not in state:
            walk(node)
    return found


def check(root, known=KNOWN):
    """Returns the problems, the summary and the known breaches met, as lines to print."""
    files = set(list_files(root))
    problems, met, files_graph, folders, checked, count = [], [], {}, {}, 0, 0
    for f in sorted(files):
        part = part_of(f)
        if part in UNCHECKED:
            continue
        if part is None:
            problems.append(f"{f}: in no layer; give its folder a place in tools/check_layers.py")
            continue
        checked += 1
        files_graph[f] = []
        with open(os.path.join(root, f), encoding="utf-8", errors="replace") as src:
            for no, line in enumerate(src, 1):
                m = INCLUDE.match(line)
                if not m:
                    continue
                count += 1
                name = m.group(1)
                near = os.path.normpath(os.path.join(os.path.dirname(f), name))
                target = near if near in files else name if name in files else None
                where = f"{f}:{no}: includes {name}, which"
                if target is None:
                    if name not in FREE:
                        problems.append(f"{where} is no file in the tree")
                    continue
                files_graph[f].append((no, target))
                folder, to_folder = os.path.dirname(f), os.path.dirname(target)
                # A folder's subfolders are parts of it (console/commands/ of console/, as git's
                # builtin/ is of git): the commands use the console's helpers and its table names
                # the commands, which is no circle between rooms.
                nested = (folder + "/").startswith(to_folder + "/") or (to_folder + "/").startswith(
                    folder + "/")
                if folder != to_folder and not nested:  # the first include stands for all
                    folders.setdefault(folder, {}).setdefault(to_folder, f"{f}:{no}")
                to = part_of(target)
                if to == part or to in REACH[part]:
                    continue
                if (f, target) in known:
                    met.append((f, target))
                elif to in UNCHECKED:
                    problems.append(f"{where} is {to} code, which product code never includes")
                elif to is not None and part in REACH[to]:
                    problems.append(f"{where} is a higher layer ({to} over {part})")
                else:
                    problems.append(f"{where} {part} may not use ({to} is not under {part})")
    for c in circles(files_graph):
        problems.append("circle of files: " + " -> ".join(f"{n}:{l}" if l else n for n, l in c))
    for c in circles({a: [(l, b) for b, l in to.items()] for a, to in folders.items()}):
        problems.append("circle of folders: " + " -> ".join(f"{n} ({l})" if l else n for n, l in c))
    for f, target in sorted(set(known) - set(met)):
        problems.append(f"{f}: no longer includes {target}; take it out of KNOWN")
    notes = [f"known breach: {f} includes {t}: {known[(f, t)]}" for f, t in sorted(set(met))]
    return problems, f"layers: {checked} files, {count} includes: none reaches up, no circle", notes


def self_test():
    """A clean tree passes; then each fault planted in it is reported."""
    clean = {
        "platform/text_types.h": "",
        "detect/usb.h": '#include "platform/text_types.h"\n',
        "install/run/run.h": '#include "detect/usb.h"\n',
        "install/cups/queue.h": "",
        "app/wizard.h": '#include "install/run/run.h"\n#include "korvel_version.h"\n',
    }
    faults = {  # file: (its text, what must be said of it)
        "detect/usb.cpp": ('#include "detect/usb.h"\n#include "install/run/run.h"\n',
                           "detect/usb.cpp:2: includes install/run/run.h, which is a higher layer "
                           "(install over detect)"),
        "console/main.cpp": ('#include "app/wizard.h"\n', "which console may not use (app is not"),
        "install/run/a.h": ('#include "install/run/b.h"\n', "circle of files: install/run/a.h:1 -> "
                            "install/run/b.h:1 -> install/run/a.h"),
        "install/run/b.h": ('#include "install/run/a.h"\n', None),
        "install/cups/queue.cpp": ('#include "install/run/run.h"\n', "circle of folders: "),
        "install/run/run.cpp": ('#include "install/cups/queue.h"\n', None),
    }
    with tempfile.TemporaryDirectory() as root:
        def plant(files):
            for path, text in files.items():
                os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
                with open(os.path.join(root, path), "w") as out:
                    out.write(text)
        plant(clean)
        problems = check(root, {})[0]
        if problems:
            print("self-test: the clean tree fails:", *problems, sep="\n  ")
            return 1
        plant({path: text for path, (text, _) in faults.items()})
        problems = check(root, {})[0]
    missed = [want for _, want in faults.values() if want and not any(want in p for p in problems)]
    # Five: the upward include also closes a circle of the folders detect and install/run.
    if missed or len(problems) != 5:
        print("self-test: missed", missed, "among", *problems, sep="\n  ")
        return 1
    print("layers self-test: an upward include, a sideways one and circles of files and folders "
          "are caught")
    return 0


def main():
    if sys.argv[1:] == ["--self-test"]:
        return self_test()
    problems, summary, known = check(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    print(*(problems or [summary] + known), sep="\n")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())

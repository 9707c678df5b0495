#!/usr/bin/env python3
"""Checks that every include of every C and C++ source follows the layering.

usage: check_layout.py SOURCE_DIR [EXCEPTIONS_FILE]

Each file belongs to the folder of RULES whose name is the longest prefix of
its path; it may include only what that folder's entry allows (a folder
prefix ending in "/" or one file). An include is ours when its first folder
is one of the tree's top folders: "bnscore/x.h" and <bnscore/x.h> are the
public API, include/bnscore/x.h. Includes of other libraries are not
checked, but a quoted include must name its folder.

EXCEPTIONS_FILE lists "FILE INCLUDE" pairs that break a rule today and are
being removed; an entry that no longer matches an include is an error too,
so that the list only shrinks.

Prints one line per broken rule (FILE:LINE: what, and the rule) and exits 1
when there is any; 0 otherwise.
"""
import os
import re
import sys

HOST = ["host/"]
PUBLIC_API = ["include/bnscore/"]
# The engine library: its own objects and those of formats/ and learn/.
ENGINE = ["engine/", "formats/", "learn/"] + PUBLIC_API + HOST

# folder -> (what its files may include, why)
RULES = {
    # The host core knows nothing of the plug-in or the front ends; its
    # interfaces nothing of its implementation; its number texts nothing of
    # its values or its XML.
    "host/interfaces/": (["host/interfaces/"],
                         "the host interfaces stand alone"),
    "host/text/": (["host/text/", "host/interfaces/"],
                   "host number texts build on the interfaces only"),
    "host/data/": (["host/data/", "host/text/", "host/interfaces/"],
                   "host data knows nothing of XML, the plug-in or a front end"),
    "host/xml/": (HOST, "the host knows nothing of the plug-in or a front end"),
    # The plug-in builds on the host: encoders/ first, result/ and model/
    # next, reader/ last.
    "bayesnet/": (["bayesnet/", *HOST], "the plug-in builds on the host only"),
    "bayesnet/encoders/": (["bayesnet/encoders/", "bayesnet/BayesNetExport.h", *HOST],
                           "plug-in encoders come first: host and encoders/ only"),
    "bayesnet/result/": (["bayesnet/result/", "bayesnet/encoders/", "bayesnet/BayesNetExport.h",
                          *HOST], "plug-in results never reach model/ or reader/"),
    "bayesnet/model/": (["bayesnet/model/", "bayesnet/result/", "bayesnet/encoders/",
                         "bayesnet/BayesNetExport.h", *HOST],
                        "the plug-in's model never reaches reader/"),
    "bayesnet/reader/": (["bayesnet/", *HOST], "the plug-in builds on the host only"),
    # The engine reaches the plug-in through dlopen and the host's interfaces.
    "engine/": (ENGINE, "the engine uses the host, never the plug-in or a front end"),
    # The status codes are the one contract the plug-in and the public API
    # share; they are defined once, beside the host interfaces.
    "include/bnscore/": ([*PUBLIC_API, "host/interfaces/StatusCodes.h"],
                         "the public API stands alone but for the status codes"),
    "formats/": (["formats/", *HOST], "network formats build on the host only"),
    "learn/": (ENGINE, "learning is part of the engine, never a front end"),
    # Front ends use the public API only. bnscore starts the service through
    # the service library's entry point, the `serve` subcommand.
    "cli/": (["cli/", "service/ServeCommandLine.h", *PUBLIC_API],
             "the command line uses the public API (and the service's entry point) only"),
    "service/": (["service/", *PUBLIC_API], "the service uses the public API only"),
    "python/": (["python/", *PUBLIC_API], "the Python package uses the public API only"),
    "examples/": (PUBLIC_API, "examples use the installed public API only"),
    # The generators the tests and the benchmarks share, and the benchmarks:
    # they load the plug-in as bnscore does.
    "testing/": (["testing/", *ENGINE], "test generators use the engine, never the plug-in"),
    "bench/": (["bench/", "testing/", *ENGINE], "benchmarks use the engine, never the plug-in"),
    # The fuzz targets reach what they fuzz: the plug-in through its entry
    # point, the engine, the service.
    "fuzz/": (["fuzz/", "bayesnet/GiveMyTranslator.h", "service/", *ENGINE],
              "fuzz targets reach what they fuzz, never the command line or the tests"),
    # Tests reach what they test, tests/'s helpers and the generators.
    "tests/": (["tests/"], "tests/ helpers stand alone"),
    "tests/host/": (["tests/", *HOST], "host tests test the host"),
    "tests/bayesnet/": (["tests/", "bayesnet/", *HOST], "plug-in tests test the plug-in"),
    "tests/differential/": (["tests/", "bayesnet/", "testing/", *HOST],
                            "the differential test checks the plug-in against generated models"),
    "tests/engine/": (["tests/", "testing/", *ENGINE], "engine tests test the engine"),
    "tests/formats/": (["tests/", *ENGINE], "format tests test the engine's formats"),
    "tests/learn/": (["tests/", *ENGINE], "learning tests test the engine's learning"),
    "tests/testing/": (["tests/", "testing/", *ENGINE], "generator tests test the generators"),
    "tests/cli/": (["tests/", "cli/", *PUBLIC_API], "command-line tests test the command line"),
    "tests/service/": (["tests/", "service/", "fuzz/JsonFuzzHarness.h", *PUBLIC_API],
                       "service tests test the service"),
    "tests/robustness/": (["tests/", "fuzz/", *ENGINE],
                          "robustness tests run the fuzz harnesses and hostile documents"),
}

SOURCE_SUFFIXES = (".h", ".hpp", ".hh", ".c", ".cc", ".cpp", ".cxx", ".inc")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def top_folders(root):
    return {name for name in os.listdir(root)
            if os.path.isdir(os.path.join(root, name)) and not name.startswith(".")
            and not name.startswith("build")}


def sources(root, folders):
    for folder in sorted(folders):
        for directory, subdirs, files in os.walk(os.path.join(root, folder)):
            subdirs.sort()
            for name in sorted(files):
                if name.endswith(SOURCE_SUFFIXES):
                    yield os.path.relpath(os.path.join(directory, name), root)


def rule_of(path):
    best = None
    for folder in RULES:
        if path.startswith(folder) and (best is None or len(folder) > len(best)):
            best = folder
    return best


def ours(include, folders):
    """The include as a path from the root, or None when it is not ours."""
    first = include.split("/", 1)[0]
    if first == "bnscore":
        return "include/" + include
    if first in folders:
        return include
    return None


def read_exceptions(path):
    exceptions = {}
    if not path:
        return exceptions
    with open(path, encoding="utf-8") as lines:
        for number, line in enumerate(lines, 1):
            text = line.split("#", 1)[0].split()
            if not text:
                continue
            if len(text) != 2:
                sys.exit(f"{path}:{number}: expected FILE INCLUDE, got {line.strip()!r}")
            exceptions[(text[0], text[1])] = number
    return exceptions


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__.strip().splitlines()[2])
    root = sys.argv[1]
    exceptions_file = sys.argv[2] if len(sys.argv) == 3 else None
    exceptions = read_exceptions(exceptions_file)
    folders = top_folders(root)
    used = set()
    broken = []
    checked = 0
    for path in sources(root, folders):
        checked += 1
        folder = rule_of(path)
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as text:
            for number, line in enumerate(text, 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                quoted, include = match.group(1) == '"', match.group(2)
                target = ours(include, folders)
                where = f"{path}:{number}"
                if target is None:
                    if quoted:
                        broken.append(f"{where}: #include \"{include}\" names no folder of the "
                                      "tree (every include of ours names its folder)")
                    continue
                if folder is None:
                    broken.append(f"{where}: no layering rule for {path} "
                                  "(add its folder to RULES in tests/exports/check_layout.py)")
                    break
                allowed, why = RULES[folder]
                if any(target == a or (a.endswith("/") and target.startswith(a)) for a in allowed):
                    continue
                if (path, include) in exceptions:
                    used.add((path, include))
                    continue
                broken.append(f"{where}: includes {include}, which {folder} may not: {why} "
                              f"({folder} may include {', '.join(allowed)})")
    for (path, include), number in sorted(exceptions.items(), key=lambda item: item[1]):
        if (path, include) not in used:
            broken.append(f"{exceptions_file}:{number}: {path} no longer includes {include} "
                          "against the layering: remove the exception")
    for line in broken:
        print(line)
    if broken:
        print(f"check_layout: {len(broken)} include(s) break the layering")
        return 1
    print(f"check_layout: the includes of {checked} files follow the layering "
          f"({len(used)} known exceptions left)")
    return 0


if __name__ == "__main__":
    sys.exit(main())

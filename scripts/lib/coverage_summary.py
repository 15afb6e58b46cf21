#!/usr/bin/env python3
"""Line coverage of a list of source files, from llvm-cov's summary of a coverage program's run.

    llvm-cov-14 export -summary-only -instr-profile=P PROGRAM | coverage_summary.py LIST TABLE

LIST holds the files' absolute paths, one a line. Writes the figures of each file and their total
to TABLE and prints the total as "covered count". The files are matched by their real paths: the
program records each file under the path its compiler was given, which a compiler launcher may
have made relative to the build folder (build-fuzz-coverage/../src/vars/OvNumList.cpp), and
llvm-cov's own file selection takes only the exact recorded name. Exits 1 when a listed .cpp file
is not in the program, whose lines would otherwise go uncounted.
"""

import json
import os
import sys


def main() -> int:
    list_path, table_path = sys.argv[1:3]
    with open(list_path, encoding="utf-8") as listed:
        wanted = [os.path.realpath(line.strip()) for line in listed if line.strip()]
    recorded = {}
    for entry in json.load(sys.stdin)["data"][0]["files"]:
        recorded.setdefault(os.path.realpath(entry["filename"]), entry["summary"])
    missing = [path for path in wanted if path.endswith(".cpp") and path not in recorded]
    for path in missing:
        print(f"{path}: not in the coverage program", file=sys.stderr)

    rows = []
    total = {"lines": [0, 0], "functions": [0, 0]}
    for path in wanted:
        if path not in recorded:
            continue
        summary = recorded[path]
        figures = {kind: (summary[kind]["covered"], summary[kind]["count"]) for kind in total}
        for kind, (covered, count) in figures.items():
            total[kind][0] += covered
            total[kind][1] += count
        rows.append((os.path.relpath(path), figures))
    rows.append(("total", {kind: tuple(value) for kind, value in total.items()}))

    def percent(covered: int, count: int) -> str:
        return f"{100.0 * covered / count:.1f}%" if count else "-"

    row = "{:<40} {:>7} {:>8} {:>7} {:>10} {:>8}\n"
    with open(table_path, "w", encoding="utf-8") as table:
        table.write(row.format("file", "lines", "covered", "", "functions", "covered"))
        for name, figures in rows:
            lines_covered, lines = figures["lines"]
            functions_covered, functions = figures["functions"]
            share = percent(lines_covered, lines)
            table.write(row.format(name, lines, lines_covered, share, functions, functions_covered))
    print(total["lines"][0], total["lines"][1])
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Validates report files against docs/report-schema.json, and the sums the
schema cannot express: the tree adds up to the totals, the ledger to the used
space.

    tools/check_report_schema.py FILE_OR_FOLDER...

A folder stands for every *.json in it. Exit code 0 when all are valid (and
at least one was checked), 1 otherwise.
"""
import json
import pathlib
import sys

import jsonschema

ROOT = pathlib.Path(__file__).resolve().parent.parent
SCHEMA = json.loads((ROOT / "docs" / "report-schema.json").read_text())


def sums_problems(report):
    problems = []
    tree = report["tree"]["folders"]
    if tree:
        root = tree[0]
        if report["status"] == "completed":
            for key in ("allocated_bytes", "apparent_bytes", "files", "folders"):
                if root[key] != report["totals"][key]:
                    problems.append("tree root %s %d != totals %d" % (key, root[key], report["totals"][key]))
        children = {}
        for index, folder in enumerate(tree[1:], 1):
            if folder["parent"] >= index:
                problems.append("folder %d comes before its parent" % index)
            children.setdefault(folder["parent"], []).append(folder)
        for index, folder in enumerate(tree):
            kids = children.get(index, [])
            for key in ("allocated_bytes", "apparent_bytes", "files", "folders"):
                total = folder["other"][key] + sum(k[key] for k in kids) + (1 if key == "folders" else 0)
                if total != folder[key]:
                    problems.append("folder %d: other + children %s = %d != %d" % (index, key, total, folder[key]))
            # The folder's own files: [name, allocated, apparent(, raw)] each,
            # and the rest summed; all of them are part of "other".
            own = folder.get("largest_files", [])
            rest = folder.get("other_files", {"allocated_bytes": 0, "apparent_bytes": 0, "files": 0})
            for key, column in (("allocated_bytes", 1), ("apparent_bytes", 2)):
                if sum(f[column] for f in own) + rest[key] > folder["other"][key]:
                    problems.append("folder %d: own files' %s exceed other" % (index, key))
            if len(own) + rest["files"] > folder["other"]["files"]:
                problems.append("folder %d: own files outnumber other's files" % index)
    ledger = report.get("ledger")
    if ledger:
        explained = sum(ledger.get("explained", {}).values())
        if ledger["found_bytes"] + explained + ledger["remainder_bytes"] != ledger["used_bytes"]:
            problems.append("ledger: found + explained + remainder != used")
        if ledger["volume_bytes"] - ledger["free_bytes"] != ledger["used_bytes"]:
            problems.append("ledger: volume - free != used")
        if ledger["found_bytes"] != report["totals"]["allocated_bytes"]:
            problems.append("ledger: found != totals.allocated_bytes")
    return problems


def main(args):
    files = []
    for arg in args:
        path = pathlib.Path(arg)
        files += sorted(path.glob("*.json")) if path.is_dir() else [path]
    if not files:
        print("no report to check in %s" % " ".join(args))
        return 1
    bad = 0
    validator = jsonschema.Draft202012Validator(SCHEMA)
    for file in files:
        report = json.loads(file.read_bytes().decode("utf-8"))
        problems = ["%s at %s" % (e.message, "/".join(map(str, e.absolute_path)))
                    for e in validator.iter_errors(report)]
        if not problems:
            problems = sums_problems(report)
        for problem in problems:
            print("%s: %s" % (file, problem))
        bad += bool(problems)
    print("%d reports checked against the schema, %d invalid" % (len(files), bad))
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

#!/usr/bin/env python3
"""Adds up one ctest run: GoogleTest cases from their XML reports, other
tests (scripts) one each. Prints a line per suite and returns totals."""
import sys
import xml.etree.ElementTree as ET
from pathlib import Path


def suite_counts(junit, reports):
    for case in ET.parse(junit).getroot().iter("testcase"):
        name = case.get("name")
        ok = case.get("status") in ("run", "passed") and case.find("failure") is None
        report = Path(reports) / f"{name}.xml"
        passed = failed = 0
        if report.exists():
            try:
                root = ET.parse(report).getroot()
                total = int(root.get("tests", 0)) - int(root.get("disabled", 0))
                bad = int(root.get("failures", 0)) + int(root.get("errors", 0))
                skipped = sum(1 for c in root.iter("testcase") if c.find("skipped") is not None)
                passed, failed = total - bad - skipped, bad
            except ET.ParseError:
                pass
        if passed + failed == 0:
            passed, failed = (1, 0) if ok else (0, 1)
        elif not ok and failed == 0:
            failed = 1  # the program failed after its cases (crash, exit code)
        yield name, passed, failed


def main():
    preset, junit, reports, totals = sys.argv[1:5]
    p = f = 0
    for name, passed, failed in suite_counts(junit, reports):
        mark = "ok  " if failed == 0 else "FAIL"
        print(f"  {mark} {preset:6} {name:32} {passed} passed, {failed} failed")
        p += passed
        f += failed
    with open(totals, "a") as out:
        out.write(f"{p} {f}\n")


if __name__ == "__main__":
    main()

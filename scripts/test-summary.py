#!/usr/bin/env python3
"""Adds up one ctest run: GoogleTest cases from their XML reports, other
tests (scripts) one each. Prints a line per suite and appends the totals
"passed failed skipped" to a file. A suite that could not run is a failure
with its reason; a suite skipped on purpose (a 32-bit suite on a machine that
runs no 32-bit programs) is a skip with its reason, never a pass."""
import sys
import xml.etree.ElementTree as ET
from pathlib import Path


def last_words(case):
    """The last non-blank line a test printed: why it failed or was skipped."""
    out = case.findtext("system-out") or ""
    lines = [line.strip() for line in out.splitlines() if line.strip()]
    return lines[-1][:160] if lines else "no output"


def report_counts(report):
    """passed, failed, skipped of a GoogleTest XML report (zeros without one)."""
    if not report.exists():
        return 0, 0, 0
    try:
        root = ET.parse(report).getroot()
    except ET.ParseError:
        return 0, 0, 0
    total = int(root.get("tests", 0)) - int(root.get("disabled", 0))
    bad = int(root.get("failures", 0)) + int(root.get("errors", 0))
    skipped = sum(1 for c in root.iter("testcase") if c.find("skipped") is not None)
    return total - bad - skipped, bad, skipped


def suite_counts(junit, reports):
    for case in ET.parse(junit).getroot().iter("testcase"):
        name = case.get("name")
        status = case.get("status")
        if status == "notrun" and case.find("skipped") is not None:
            yield name, 0, 0, 1, last_words(case)
            continue
        ok = status in ("run", "passed") and case.find("failure") is None
        passed, failed, skipped = report_counts(Path(reports) / f"{name}.xml")
        reason = ""
        if passed + failed + skipped == 0:
            passed, failed = (1, 0) if ok else (0, 1)
            reason = "" if ok else last_words(case)
        elif not ok and failed == 0:
            failed = 1  # the program failed after its cases (crash, exit code)
            reason = last_words(case)
        yield name, passed, failed, skipped, reason


def main():
    preset, junit, reports, totals = sys.argv[1:5]
    p = f = s = 0
    for name, passed, failed, skipped, reason in suite_counts(junit, reports):
        mark = "FAIL" if failed else ("skip" if skipped and not passed else "ok  ")
        line = f"  {mark} {preset:6} {name:32} {passed} passed, {failed} failed"
        if skipped:
            line += f", {skipped} skipped"
        if reason:
            line += f": {reason}"
        print(line)
        p, f, s = p + passed, f + failed, s + skipped
    with open(totals, "a") as out:
        out.write(f"{p} {f} {s}\n")


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Prints the Wine lanes of a build's tests (ISTREL_WINE_LANE in their
ENVIRONMENT), one a line, from `ctest --show-only=json-v1` on stdin."""
import json
import sys

lanes = set()
for test in json.load(sys.stdin).get("tests", []):
    for prop in test.get("properties", []):
        if prop["name"] == "ENVIRONMENT":
            lanes.update(v.split("=", 1)[1] for v in prop["value"]
                         if v.startswith("ISTREL_WINE_LANE="))
print("\n".join(sorted(lanes)))

#!/usr/bin/env python3
# A record file's devices per outcome as `records` counts them (a started line alone: interrupted).
import collections, json, sys
counts, started = collections.Counter(), set()
for line in open(sys.argv[1], encoding="utf-8"):
    record = json.loads(line)
    if record.get("event") == "started":
        started.add(record["attempt"])
    else:
        started.discard(record.get("attempt")); counts[record["outcome"]] += 1
counts["interrupted"] += len(started)
print("Devices:", sum(counts.values()), dict(counts))

#!/usr/bin/env python3
# Checks what tools/replay --copy --summary printed: KCCCapture /summary's text is the dialog's first Ctrl+C copy,
# and its JSON (with and without /redact, parsed) holds every row's value under its key and the dialog's boxes.
#   summary_check.py REPLAY_OUTPUT STATUS HARDWARE_LIST_ID SYSTEM_LIST_ID
import json
import sys

KEYS = ["processor", "processorSpeed", "memory", "cache", "manufacturer", "model", "systemVersion", "serialNumber",
        "biosVersion", "operatingSystem", "oem", "messages"]


def escaped(value):
    """A text as the replay prints it: tab, line feed and carriage return as two characters."""
    if isinstance(value, dict):
        return {key: escaped(item) for key, item in value.items()}
    if isinstance(value, list):
        return [escaped(item) for item in value]
    return value.replace("\t", "\\t").replace("\n", "\\n").replace("\r", "\\r")


def main():
    path, status, hardware, system = sys.argv[1:]
    lines = [line.rstrip("\n").split("\t") for line in open(path, encoding="utf-8")]
    rows = [line for line in lines if line[0] == "row"]
    copied = [line[1:] for line in lines if line[0] == "copied"][:len(rows)]  # Ctrl+C, before the menu's copy
    boxes = [{"caption": line[1], "text": line[2]} for line in lines if line[0] == "box"]
    texts = [line for line in lines if line[0] == "summary"]
    forms = {line[0]: line for line in lines if line[0] in ("json", "json-redact")}
    problems = []
    if not texts or {line[1] for line in texts} != {status}:
        problems.append(f"/summary exited with {[line[1] for line in texts]}, not {status}")
    if [line[2:] for line in texts if len(line) > 2] != copied:
        problems.append(f"/summary printed {[line[2:] for line in texts]}\n  Ctrl+C copied {copied}")
    if not rows and status == "0":
        problems.append("the dialog showed no rows")
    values = [row[4] for row in rows if row[1] == hardware] + [row[4] for row in rows if row[1] == system]
    dialog = dict(zip(KEYS, values[:10] if rows else [""] * 10), oem=values[10:], messages=boxes)
    for form in ("json", "json-redact"):
        if form not in forms:
            problems.append(f"no {form} line")
            continue
        if forms[form][1] != status:
            problems.append(f"{form}: exit status {forms[form][1]}, not {status}")
        got = json.loads(forms[form][2])
        if list(got) != KEYS:
            problems.append(f"{form}: keys {list(got)}")
        want = dict(dialog, serialNumber="*" * len(dialog["serialNumber"])) if form == "json-redact" else dialog
        if escaped(got) != want:
            problems.append(f"{form}: {escaped(got)}\n  the dialog: {want}")
    print("\n".join(problems))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())

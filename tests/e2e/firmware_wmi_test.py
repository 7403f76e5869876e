#!/usr/bin/env python3
"""The WMI that firmwarewmi derives from a dump agrees with what dmidecode decodes from the same dump.

    firmware_wmi_test.py FIRMWAREWMI DUMP ...
Compared: type 1 manufacturer, product and serial number, type 0 BIOS version, the size of each installed
type 17 device, the level and maximum size of each type 7 cache.
"""
import re
import subprocess
import sys
import tempfile

UNITS = {"bytes": 1, "kB": 1 << 10, "MB": 1 << 20, "GB": 1 << 30, "TB": 1 << 40}


def dmidecode(dump, kind):
    out = subprocess.run(["dmidecode", "--from-dump", dump, "-t", kind], capture_output=True, text=True,
                         errors="replace", check=True).stdout
    return [block for block in out.split("\n\n") if block.startswith("Handle ")]


def field(block, name):
    match = re.search(r"^\t" + re.escape(name) + r": (.*)$", block, re.M)
    return match.group(1) if match else None


def expected(dump):
    want = {}
    for block in dmidecode(dump, "1")[:1]:
        want["Manufacturer"] = field(block, "Manufacturer")
        want["Model"] = field(block, "Product Name")
        want["SerialNumber"] = field(block, "Serial Number")
    for block in dmidecode(dump, "0")[:1]:
        want["SMBIOSBIOSVersion"] = field(block, "Version")
    want["Capacity"] = []
    for block in dmidecode(dump, "17"):
        size = field(block, "Size")
        if size and re.match(r"^\d+ \w+$", size):
            number, unit = size.split()
            want["Capacity"].append(str(int(number) * UNITS[unit]))
    want["Cache"] = []
    for block in dmidecode(dump, "7"):
        level = re.search(r"Level (\d)", field(block, "Configuration") or "")
        size = field(block, "Maximum Size")
        if level and size and re.match(r"^\d+ \w+$", size):
            number, unit = size.split()
            want["Cache"].append((str(int(level.group(1)) + 2), str(int(number) * UNITS[unit] >> 10)))
    return want


def derived(tool, dump):
    with tempfile.NamedTemporaryFile(suffix=".ini") as out:
        subprocess.run([tool, dump, out.name], check=True)
        text = open(out.name, encoding="utf-8-sig").read()
    got = {"Capacity": [], "Cache": []}
    level = None
    for line in text.splitlines():
        key, _, value = line.partition("=")
        value = value.split(":", 1)[1].strip('"') if ":" in value else value
        if key == "Capacity":
            got["Capacity"].append(value)
        elif key == "Level":
            level = value
        elif key == "MaxCacheSize":
            got["Cache"].append((level, value))
        elif key in ("Manufacturer", "Model", "SerialNumber", "SMBIOSBIOSVersion"):
            got[key] = value
    return got


def main(argv):
    tool, dumps = argv[0], argv[1:]
    failed = 0
    for dump in dumps:
        want, got = expected(dump), derived(tool, dump)
        for key, value in want.items():
            # dmidecode shows an absent string as "Not Specified"; firmwarewmi leaves such a property out.
            if value == "Not Specified" and key not in got:
                continue
            if got.get(key) != value:
                print("FAIL %s: %s is %r, dmidecode says %r" % (dump, key, got.get(key), value))
                failed += 1
        print("%s: %d memory devices, %d caches" % (dump, len(want["Capacity"]), len(want["Cache"])))
    print("firmware wmi: %d passed, %d failed" % (len(dumps) - min(failed, len(dumps)), failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

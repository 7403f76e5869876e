#!/usr/bin/env python3
"""Prints this machine's physical memory as the dialog shows it: wine's total (MemTotal of
/proc/meminfo) rounded up to a multiple of 4096 KB and written with the dialog's size units."""
import math

kb = int(open('/proc/meminfo').read().split()[1])
v = math.ceil(((kb * 1024) >> 10) * 0.0009765625 * 0.25) * 4096
i = f = 0
while v >= 1024 and i < 4:
    f = (v % 1024) * 1000 // 1024
    v //= 1024
    i += 1
print(f"{v}{'.%03d' % f if f else ''} {['KBytes', 'MBytes', 'GBytes', 'TBytes', 'PBytes'][i]}")

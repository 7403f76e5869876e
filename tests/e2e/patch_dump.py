#!/usr/bin/env python3
"""Makes a variant of a dmidecode --dump-bin image: replaces bytes in the string sets and sets
the installed-size byte of memory modules (type 6, offset 09h).

  patch_dump.py IN OUT [--text OLD=NEW ...] [--module INDEX=BYTE ...]
"""
import argparse

def structures(image):
    offset = 0x20
    while offset + 4 <= len(image):
        kind, length = image[offset], image[offset + 1]
        end = offset + length
        while end + 1 < len(image) and not (image[end] == 0 and image[end + 1] == 0):
            end += 1
        yield kind, offset
        if kind == 127:
            return
        offset = end + 2

parser = argparse.ArgumentParser()
parser.add_argument('input')
parser.add_argument('output')
parser.add_argument('--text', action='append', default=[])
parser.add_argument('--module', action='append', default=[])
args = parser.parse_args()
image = bytearray(open(args.input, 'rb').read())
for pair in args.text:
    old, new = (s.encode('latin-1') for s in pair.split('=', 1))
    assert len(old) == len(new) and old in image, pair
    image = bytearray(bytes(image).replace(old, new))
modules = [offset for kind, offset in structures(image) if kind == 6]
for pair in args.module:
    index, value = pair.split('=')
    image[modules[int(index)] + 9] = int(value, 0)
open(args.output, 'wb').write(image)

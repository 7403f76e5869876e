#!/usr/bin/env python3
"""Checks that PE files import only what Windows XP SP3 exports, and that their subsystem version lets XP load them.

    check_imports.py LIST [LIST ...] -- FILE [FILE ...]

Each LIST holds 'dll function' lines ('dll #N' for an export by ordinal; '#' starts a comment). Every import,
delay-loaded ones too, must be listed; the DLL names compare without case. A 32-bit image must give subsystem
version 4.0 or 5.1; a 64-bit one 5.2 (XP x64 / Server 2003 x64, the first 64-bit Windows of that line).
Prints one line for each import outside the lists, 'FILE: dll function', and exits 1 if there is any.
"""
import os
import struct
import sys


class PeError(Exception):
    pass


class Image:
    def __init__(self, path):
        with open(path, 'rb') as f:
            self.data = f.read()
        d = self.data
        if len(d) < 0x40 or d[:2] != b'MZ':
            raise PeError('not an MZ file')
        pe = self.u32(0x3C)
        if d[pe:pe + 4] != b'PE\0\0':
            raise PeError('no PE header')
        sections, optional_size = self.u16(pe + 6), self.u16(pe + 20)
        opt = pe + 24
        self.magic = self.u16(opt)
        if self.magic not in (0x10B, 0x20B):
            raise PeError('unknown optional header 0x%x' % self.magic)
        self.wide = self.magic == 0x20B
        self.subsystem_version = (self.u16(opt + 48), self.u16(opt + 50))
        self.base = struct.unpack_from('<Q', d, opt + 24)[0] if self.wide else self.u32(opt + 28)
        dirs = opt + (112 if self.wide else 96)
        count = self.u32(dirs - 4)
        self.directories = [(self.u32(dirs + 8 * i), self.u32(dirs + 8 * i + 4)) for i in range(min(count, 16))]
        table = opt + optional_size
        self.sections = []
        for i in range(sections):
            s = table + 40 * i
            vsize, va, rsize, raw = struct.unpack_from('<IIII', d, s + 8)
            self.sections.append((va, max(vsize, rsize), raw, rsize))

    def u16(self, at):
        return struct.unpack_from('<H', self.data, at)[0]

    def u32(self, at):
        return struct.unpack_from('<I', self.data, at)[0]

    def offset(self, rva):
        for va, size, raw, rsize in self.sections:
            if va <= rva < va + size and rva - va < rsize:
                return raw + rva - va
        raise PeError('address 0x%x lies in no section' % rva)

    def text(self, rva):
        at = self.offset(rva)
        end = self.data.index(b'\0', at)
        return self.data[at:end].decode('ascii', 'replace')

    def thunks(self, rva):
        """The names (or '#ordinal') of a null-terminated thunk array."""
        at = self.offset(rva)
        size, flag = (8, 1 << 63) if self.wide else (4, 1 << 31)
        while True:
            value = struct.unpack_from('<Q' if self.wide else '<I', self.data, at)[0]
            if value == 0:
                return
            yield '#%d' % (value & 0xFFFF) if value & flag else self.text((value & 0x7FFFFFFF) + 2)
            at += size

    def imports(self):
        """(dll, function) for the import table and the delay-load table."""
        if len(self.directories) > 1 and self.directories[1][0]:
            at = self.offset(self.directories[1][0])
            while True:
                lookup, _, _, name, first = struct.unpack_from('<IIIII', self.data, at)
                if name == 0 and first == 0:
                    break
                dll = self.text(name)
                for function in self.thunks(lookup or first):
                    yield dll, function
                at += 20
        if len(self.directories) > 13 and self.directories[13][0]:
            at = self.offset(self.directories[13][0])
            while True:
                attributes, name, _, _, names = struct.unpack_from('<IIIII', self.data, at)
                if name == 0:
                    break
                # Descriptors marked 1 hold relative addresses, older ones virtual addresses.
                base = 0 if attributes & 1 else self.base
                dll = self.text(name - base)
                for function in self.thunks(names - base):
                    yield dll, function
                at += 32


def read_lists(paths):
    allowed = set()
    for path in paths:
        with open(path, encoding='utf-8') as f:
            for line in f:
                parts = line.split()
                if len(parts) == 2 and not parts[0].startswith('#'):
                    allowed.add((parts[0].lower(), parts[1]))
    return allowed


def main(argv):
    if '--' not in argv:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    split = argv.index('--')
    allowed = read_lists(argv[:split])
    files = argv[split + 1:]
    bad = 0
    for path in files:
        name = os.path.basename(path)
        try:
            image = Image(path)
            imports = list(image.imports())
        except (OSError, PeError, struct.error, ValueError) as error:
            print('%s: cannot read: %s' % (path, error))
            bad += 1
            continue
        wanted = {(5, 2)} if image.wide else {(4, 0), (5, 1)}
        if image.subsystem_version not in wanted:
            print('%s: subsystem version %d.%d, XP needs %s' % (
                name, image.subsystem_version[0], image.subsystem_version[1],
                ' or '.join('%d.%d' % v for v in sorted(wanted))))
            bad += 1
        for dll, function in imports:
            if (dll.lower(), function) not in allowed:
                print('%s: %s %s' % (name, dll, function))
                bad += 1
    print('xp imports: %d files checked, %d problems' % (len(files), bad))
    return 1 if bad else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))

#!/usr/bin/env python3
"""Checks that a Windows executable is what its build claims, reading the PE
file itself (no Windows tool involved):

  check_pe.py FILE --machine arm64|x64 --imports DLL,... [--crt ucrt|msvcrt]
              [--resources]

--machine    the COFF machine type.
--imports    the DLLs the file must import; any other import fails, except
             the C runtime named by --crt (msvcrt.dll, or UCRT's
             api-ms-win-crt-*.dll forwarders). A self-contained executable
             imports no compiler runtime DLL.
--resources  the program's resources: icon group 102, dialog 104, the menu
             picture 105 (a PNG), one version block and one manifest.

Prints what it found; exits 1 with one line per mismatch."""

import argparse
import struct
import sys

MACHINES = {"x64": 0x8664, "arm64": 0xAA64}
RT_ICON, RT_DIALOG, RT_RCDATA, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 5, 10, 14, 16, 24
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


class Image:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        if magic != 0x20B:
            raise ValueError("not a PE32+ image")
        self.subsystem = struct.unpack_from("<H", data, optional + 68)[0]
        count = struct.unpack_from("<I", data, optional + 108)[0]
        self.directories = [struct.unpack_from("<II", data, optional + 112 + 8 * i) for i in range(count)]
        table = optional + optional_size
        self.sections = []
        for i in range(sections):
            _, vsize, vaddr, rsize, raddr = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((vaddr, max(vsize, rsize), raddr))

    def offset(self, rva):
        for vaddr, size, raddr in self.sections:
            if vaddr <= rva < vaddr + size:
                return raddr + rva - vaddr
        raise ValueError("address 0x%x is in no section" % rva)

    def cstring(self, rva):
        at = self.offset(rva)
        return self.data[at:self.data.index(b"\0", at)].decode("ascii")

    def imports(self):
        rva, _ = self.directories[1]
        names, at = [], self.offset(rva)
        while True:
            entry = struct.unpack_from("<IIIII", self.data, at)
            if entry == (0, 0, 0, 0, 0):
                return names
            names.append(self.cstring(entry[3]))
            at += 20

    def resources(self):
        """{(type, name): [data bytes per language]} for numeric types and names."""
        base_rva, _ = self.directories[2]
        if base_rva == 0:
            return {}
        base = self.offset(base_rva)

        def entries(at):
            named, numbered = struct.unpack_from("<HH", self.data, at + 12)
            for i in range(named + numbered):
                ident, target = struct.unpack_from("<II", self.data, at + 16 + 8 * i)
                yield ident, target

        found = {}
        for type_id, type_dir in entries(base):
            for name_id, name_dir in entries(base + (type_dir & 0x7FFFFFFF)):
                for _, leaf in entries(base + (name_dir & 0x7FFFFFFF)):
                    rva, size = struct.unpack_from("<II", self.data, base + leaf)
                    found.setdefault((type_id, name_id), []).append(self.data[self.offset(rva):self.offset(rva) + size])
        return found


def check(image, args):
    faults = []
    if image.machine != MACHINES[args.machine]:
        faults.append("machine is 0x%04x, not %s (0x%04x)" % (image.machine, args.machine, MACHINES[args.machine]))
    imported = {name.lower() for name in image.imports()}
    wanted = {name.lower() for name in args.imports.split(",") if name}
    for name in sorted(wanted - imported):
        faults.append("does not import " + name)
    for name in sorted(imported - wanted):
        crt = name == "msvcrt.dll" if args.crt == "msvcrt" else name.startswith("api-ms-win-crt-")
        if not crt:
            faults.append("imports " + name + ", which is not expected")
    if args.resources:
        res = image.resources()
        for key, what in (((RT_GROUP_ICON, 102), "icon group 102"), ((RT_DIALOG, 104), "dialog 104"),
                          ((RT_RCDATA, 105), "menu picture 105"), ((RT_VERSION, 1), "version block 1"),
                          ((RT_MANIFEST, 1), "manifest 1")):
            if key not in res:
                faults.append("no " + what)
        if not any(t == RT_ICON for t, _ in res):
            faults.append("no icon image")
        if (RT_RCDATA, 105) in res and not res[(RT_RCDATA, 105)][0].startswith(PNG_SIGNATURE):
            faults.append("menu picture 105 is not a PNG")
        if (RT_MANIFEST, 1) in res and b"<assembly" not in res[(RT_MANIFEST, 1)][0]:
            faults.append("manifest 1 holds no assembly")
        if (RT_VERSION, 1) in res and "VS_VERSION_INFO".encode("utf-16-le") not in res[(RT_VERSION, 1)][0]:
            faults.append("version block 1 is not a VS_VERSION_INFO")
    return faults


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("file")
    parser.add_argument("--machine", choices=sorted(MACHINES), required=True)
    parser.add_argument("--imports", required=True)
    parser.add_argument("--crt", choices=["ucrt", "msvcrt"], default="ucrt")
    parser.add_argument("--resources", action="store_true")
    args = parser.parse_args()
    try:
        with open(args.file, "rb") as f:
            image = Image(f.read())
    except (OSError, ValueError, struct.error) as e:
        print("%s: cannot read: %s" % (args.file, e))
        return 1
    print("%s: machine 0x%04x, imports %s" % (args.file, image.machine, ", ".join(image.imports())))
    faults = check(image, args)
    for fault in faults:
        print("%s: %s" % (args.file, fault))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())

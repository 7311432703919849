#!/usr/bin/env python3
"""check_pe.py FILE --machine arm64|x64 --imports DLL,... [--crt ucrt|msvcrt]: reads the PE file itself and
fails on another processor, a missing import or any other import than the C runtime named by --crt
(msvcrt.dll, or UCRT's api-ms-win-crt-*.dll forwarders); a self-contained executable imports no
compiler runtime DLL. Prints what it found, and one line per mismatch."""

import argparse
import struct
import sys

MACHINES = {"x64": 0x8664, "arm64": 0xAA64}


def read_image(data):
    """(machine, imported DLL names) of a PE32+ image."""
    if data[:2] != b"MZ":
        raise ValueError("no MZ header")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("no PE signature")
    machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
    optional = pe + 24
    if struct.unpack_from("<H", data, optional)[0] != 0x20B:
        raise ValueError("not a PE32+ image")
    table = optional + optional_size
    spans = [struct.unpack_from("<8sIIII", data, table + 40 * i)[1:] for i in range(sections)]

    def offset(rva):
        for vsize, vaddr, rsize, raddr in spans:
            if vaddr <= rva < vaddr + max(vsize, rsize):
                return raddr + rva - vaddr
        raise ValueError("address 0x%x is in no section" % rva)

    names, at = [], offset(struct.unpack_from("<I", data, optional + 112 + 8)[0])  # the import directory
    while (entry := struct.unpack_from("<IIIII", data, at)) != (0, 0, 0, 0, 0):
        name = offset(entry[3])
        names.append(data[name:data.index(b"\0", name)].decode("ascii"))
        at += 20
    return machine, names


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("file")
    parser.add_argument("--machine", choices=sorted(MACHINES), required=True)
    parser.add_argument("--imports", required=True)
    parser.add_argument("--crt", choices=["ucrt", "msvcrt"], default="ucrt")
    args = parser.parse_args()
    with open(args.file, "rb") as f:  # an unreadable or malformed file fails with its error
        machine, imports = read_image(f.read())
    print("%s: machine 0x%04x, imports %s" % (args.file, machine, ", ".join(imports)))
    faults = [] if machine == MACHINES[args.machine] else [
        "machine is 0x%04x, not %s (0x%04x)" % (machine, args.machine, MACHINES[args.machine])]
    imported = {name.lower() for name in imports}
    wanted = {name.lower() for name in args.imports.split(",") if name}
    faults += ["does not import " + name for name in sorted(wanted - imported)]
    crt = (lambda name: name == "msvcrt.dll") if args.crt == "msvcrt" else (lambda name: name.startswith("api-ms-win-crt-"))
    faults += ["imports %s, which is not expected" % name for name in sorted(imported - wanted) if not crt(name)]
    print("".join("%s: %s\n" % (args.file, fault) for fault in faults), end="")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())

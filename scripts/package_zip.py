#!/usr/bin/env python3
"""Writes a zip archive whose bytes depend on the files' contents alone.

    package_zip.py OUT.zip TOP-FOLDER NAME=PATH [NAME=PATH ...]

Every entry lands in TOP-FOLDER/NAME, in the order given, with the same
date (1980-01-01 00:00, the earliest a zip can hold), the same permissions
(rw-r--r--, marked as made on Unix), deflated at level 9. Nothing of the
files' own dates, owners or modes, nor of the current time, enters the
archive, so the same inputs give the same archive in any folder at any time.
"""
import sys
import zipfile

FIXED_DATE = (1980, 1, 1, 0, 0, 0)


def write_zip(out_path, top, entries):
    with zipfile.ZipFile(out_path, "w") as archive:
        for name, path in entries:
            info = zipfile.ZipInfo(f"{top}/{name}", date_time=FIXED_DATE)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 3  # Unix, so external_attr carries the mode
            info.external_attr = 0o100644 << 16
            with open(path, "rb") as source:
                archive.writestr(info, source.read(), compresslevel=9)


def main(argv):
    if len(argv) < 4:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    entries = []
    for argument in argv[3:]:
        name, sep, path = argument.partition("=")
        if not sep or not name or not path:
            print(f"package_zip.py: not NAME=PATH: {argument}", file=sys.stderr)
            return 2
        entries.append((name, path))
    write_zip(argv[1], argv[2], entries)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

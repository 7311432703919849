#!/usr/bin/env python3
"""The archive writer of scripts/package.sh: the same contents give the
same bytes whatever the files' dates, modes and folders; the entries come
back whole, in order, under the top folder."""
import os
import subprocess
import sys
import tempfile
import zipfile

WRITER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "package_zip.py")
CONTENTS = [("Morlant.exe", b"MZ" + bytes(range(256)) * 64), ("README.txt", b"Morlant\r\n"), ("empty.txt", b"")]


def package(folder, mtime, mode, entries=None):
    """Writes CONTENTS in `folder` with that date and mode, zips them; returns (zip path, exit code)."""
    os.makedirs(folder)
    for name, data in CONTENTS:
        path = os.path.join(folder, name)
        with open(path, "wb") as f:
            f.write(data)
        os.utime(path, (mtime, mtime))
        os.chmod(path, mode)
    out = os.path.join(folder, "out.zip")
    entries = entries or [f"{name}={os.path.join(folder, name)}" for name, _ in CONTENTS]
    command = [sys.executable, WRITER, out, "Morlant-1.0.0-windows-x64"] + entries
    return out, subprocess.run(command, capture_output=True).returncode


def main():
    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        first, _ = package(os.path.join(tmp, "a"), 1_000_000_000, 0o755)
        second, _ = package(os.path.join(tmp, "b", "deeper"), 1_700_000_000, 0o600)
        if open(first, "rb").read() != open(second, "rb").read():
            failures.append("same contents, other dates, modes and folders: the archives differ")
        with zipfile.ZipFile(first) as archive:
            wanted = [("Morlant-1.0.0-windows-x64/" + name, data, (1980, 1, 1, 0, 0, 0), 0o644) for name, data in CONTENTS]
            found = [(i.filename, archive.read(i), i.date_time, (i.external_attr >> 16) & 0o777) for i in archive.infolist()]
            if found != wanted:
                failures.append(f"entries (name, size, date, mode) {[(f[0], len(f[1]), f[2], oct(f[3])) for f in found]}")
        if package(os.path.join(tmp, "c"), 1_000_000_000, 0o644, ["no-equals-sign"])[1] != 2:
            failures.append("an entry without NAME=PATH was accepted")
    print("".join(f"FAIL: {f}\n" for f in failures) + f"{int(not failures)} passed, {int(bool(failures))} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

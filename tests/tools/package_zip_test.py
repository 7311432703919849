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


def package(folder, mtime, mode):
    os.makedirs(folder)
    specs = []
    for name, data in CONTENTS:
        path = os.path.join(folder, name)
        with open(path, "wb") as f:
            f.write(data)
        os.utime(path, (mtime, mtime))
        os.chmod(path, mode)
        specs.append(f"{name}={path}")
    out = os.path.join(folder, "out.zip")
    subprocess.run([sys.executable, WRITER, out, "Morlant-1.0.0-windows-x64"] + specs, check=True)
    with open(out, "rb") as f:
        return out, f.read()


def main():
    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        first, first_bytes = package(os.path.join(tmp, "a"), 1_000_000_000, 0o755)
        _, second_bytes = package(os.path.join(tmp, "b", "deeper"), 1_700_000_000, 0o600)
        if first_bytes != second_bytes:
            failures.append("same contents, other dates, modes and folders: the archives differ")
        with zipfile.ZipFile(first) as archive:
            infos = archive.infolist()
            names = [i.filename for i in infos]
            wanted = ["Morlant-1.0.0-windows-x64/" + n for n, _ in CONTENTS]
            if names != wanted:
                failures.append(f"entries {names}, wanted {wanted}")
            for info, (_, data) in zip(infos, CONTENTS):
                if archive.read(info) != data:
                    failures.append(f"{info.filename}: contents changed")
                if info.date_time != (1980, 1, 1, 0, 0, 0) or (info.external_attr >> 16) & 0o777 != 0o644:
                    failures.append(f"{info.filename}: date {info.date_time}, mode {oct(info.external_attr >> 16)}")
        bad = subprocess.run([sys.executable, WRITER, os.path.join(tmp, "x.zip"), "top", "no-equals-sign"],
                             capture_output=True)
        if bad.returncode != 2:
            failures.append("an entry without NAME=PATH was accepted")
    for f in failures:
        print("FAIL:", f)
    print(f"{0 if failures else 1} passed, {1 if failures else 0} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

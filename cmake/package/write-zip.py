#!/usr/bin/python3
"""Zips a directory into bytes that depend only on its files' names and contents.

Entries are the files under DIRECTORY, each as DIRECTORY's name/path, in the
order of their paths' code points; every entry has the time EPOCH (seconds
since 1970, UTC; the zip format starts in 1980), mode 755 for .exe and .dll
and 644 otherwise, no owner and no extra fields, and is deflated at level 9.
The zip is written beside ZIP and then moved over it.

Run by cmake/package/fix-zip.cmake: write-zip.py EPOCH ZIP DIRECTORY
"""
import os
import pathlib
import sys
import time
import zipfile

EARLIEST_ZIP_TIME = 315532800  # 1980-01-01 00:00:00 UTC
UNIX = 3  # the system that made the entries, so that unzip applies their modes
EXECUTABLE_SUFFIXES = (".exe", ".dll")


def entries(directory):
    top = pathlib.Path(directory)
    files = (path for path in top.rglob("*") if path.is_file())
    return sorted((f"{top.name}/{path.relative_to(top).as_posix()}", path) for path in files)


epoch, output, directory = sys.argv[1:]
date_time = time.gmtime(max(int(epoch), EARLIEST_ZIP_TIME))[:6]
partial = output + ".partial"
with zipfile.ZipFile(partial, "w") as archive:
    for name, path in entries(directory):
        info = zipfile.ZipInfo(name, date_time)
        info.create_system = UNIX
        info.external_attr = (0o100755 if name.endswith(EXECUTABLE_SUFFIXES) else 0o100644) << 16
        archive.writestr(info, path.read_bytes(), zipfile.ZIP_DEFLATED, compresslevel=9)
os.replace(partial, output)

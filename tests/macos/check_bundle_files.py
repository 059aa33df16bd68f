"""Checks a plug-in bundle's Info.plist and PkgInfo as a macOS host reads them.

usage: check_bundle_files.py FOLDER EXECUTABLE VERSION
"""
import pathlib
import plistlib
import sys


def main(folder, executable, version):
    folder = pathlib.Path(folder)
    with open(folder / "Info.plist", "rb") as f:
        info = plistlib.load(f, fmt=plistlib.FMT_XML)  # fails on anything but a valid XML plist
    expected = {
        "CFBundleExecutable": executable,
        "CFBundlePackageType": "eFKT",
        "CFBundleSignature": "FXTC",
        "CFBundleShortVersionString": version,
        "CFBundleVersion": version,
    }
    problems = [
        f"{key} is {info.get(key)!r}, not {value!r}"
        for key, value in expected.items()
        if info.get(key) != value
    ]
    if not info.get("CFBundleIdentifier"):
        problems.append("no CFBundleIdentifier")
    leftovers = [k for k, v in info.items() if isinstance(v, str) and ("@" in v or "${" in v)]
    problems += [f"{key} holds an unreplaced placeholder" for key in leftovers]
    pkginfo = (folder / "PkgInfo").read_bytes()
    if pkginfo != b"eFKTFXTC":
        problems.append(f"PkgInfo holds {pkginfo!r}, not b'eFKTFXTC'")
    for problem in problems:
        print(problem)
    if not problems:
        print(f"{folder}: Info.plist and PkgInfo of a plug-in bundle running {executable}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))

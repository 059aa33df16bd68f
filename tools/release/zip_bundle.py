"""Writes a bundle into a zip file the same way every time: its folders and files in name order,
with their Unix permissions and one time for all (SOURCE_DATE_EPOCH when set), so that the same
bundle always gives the same bytes. Each FILE=NAME after the zip goes in beside the bundle under
NAME (the README and the licence). The zip is written beside its final name, then moved there.

usage: zip_bundle.py BUNDLE ZIP [FILE=NAME ...]
"""
import os
import pathlib
import stat
import sys
import time
import zipfile


def entries(bundle):
    root = bundle.parent
    yield bundle, bundle.relative_to(root).as_posix() + "/"
    for path in sorted(bundle.rglob("*"), key=lambda p: p.relative_to(root).as_posix()):
        name = path.relative_to(root).as_posix()
        yield path, name + "/" if path.is_dir() else name


def main(bundle, output, *extras):
    bundle = pathlib.Path(bundle)
    output = pathlib.Path(output)
    if not (bundle / "Contents").is_dir():
        print(f"zip_bundle.py: {bundle} is not a bundle (no Contents folder)", file=sys.stderr)
        return 1
    first_day = 315532800  # 1980-01-01, the earliest time a zip file can hold
    epoch = int(os.environ.get("SOURCE_DATE_EPOCH") or first_day)
    when = time.gmtime(max(epoch, first_day))[:6]
    output.parent.mkdir(parents=True, exist_ok=True)
    partial = output.with_name(output.name + ".partial")
    with zipfile.ZipFile(partial, "w") as archive:
        beside = [(pathlib.Path(file), name) for file, name in (e.split("=", 1) for e in extras)]
        for path, name in list(entries(bundle)) + beside:
            info = zipfile.ZipInfo(name, date_time=when)
            info.create_system = 3  # Unix, so that the permissions below are read
            mode = path.stat().st_mode
            info.external_attr = (stat.S_IFMT(mode) | stat.S_IMODE(mode)) << 16
            if path.is_dir():
                archive.writestr(info, b"")
            else:
                info.compress_type = zipfile.ZIP_DEFLATED
                archive.writestr(info, path.read_bytes())
    partial.replace(output)
    print(f"{output}: {bundle.name}")
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))

#!/usr/bin/python3
"""Checks a built zix.exe from its file alone, without running it: the image
is a console program for its architecture with no time stamp, it imports
only DLLs that every Windows ships, and its version resource carries the
version and the texts that Windows shows in the file's properties.

Usage: pe_check.py ZIX_EXE i386|x86_64 VERSION
"""
import sys

import pefile

# The DLLs a Windows installation always has and that this program may use:
# the kernel, the CryptoAPI and the C runtime (the GCC and C++ runtimes are
# linked in statically).
SYSTEM_DLLS = {"kernel32.dll", "advapi32.dll", "msvcrt.dll"}

ARCHITECTURES = {
    # machine, optional header magic (PE32 or PE32+)
    "i386": (0x014C, 0x010B),
    "x86_64": (0x8664, 0x020B),
}

FIXED_STRINGS = {
    "FileDescription": "random data generator",
    "Description": "Generate random ASCII character and string data.",
    "ProductName": "Zix",
    "InternalName": "Zix",
}
# Ours to word, but they must be there and say something.
FREE_STRINGS = ("CompanyName", "LegalCopyright", "Compiler")

failures = 0


def check(what, ok):
    global failures
    print(("ok:   " if ok else "FAIL: ") + what)
    failures += 0 if ok else 1


def main():
    path, arch, version = sys.argv[1:4]
    machine, magic = ARCHITECTURES[arch]
    pe = pefile.PE(path)

    check(f"machine is {arch} ({pe.FILE_HEADER.Machine:#06x})", pe.FILE_HEADER.Machine == machine)
    check(f"optional header magic {pe.OPTIONAL_HEADER.Magic:#06x}", pe.OPTIONAL_HEADER.Magic == magic)
    check("console subsystem", pe.OPTIONAL_HEADER.Subsystem == pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_CUI"])
    # A link time would make two builds of one commit differ.
    check(f"no time stamp ({pe.FILE_HEADER.TimeDateStamp})", pe.FILE_HEADER.TimeDateStamp == 0)

    imported = sorted(entry.dll.decode().lower() for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []))
    check(f"imports only system DLLs: {', '.join(imported)}", imported and set(imported) <= SYSTEM_DLLS)

    numbers = [int(part) for part in version.split(".")]
    packed = ((numbers[0] << 16 | numbers[1]), (numbers[2] << 16 | numbers[3]))
    fixed = pe.VS_FIXEDFILEINFO[0] if getattr(pe, "VS_FIXEDFILEINFO", None) else None
    check("a fixed version block", fixed is not None)
    if fixed is not None:
        check(f"file version {version}", (fixed.FileVersionMS, fixed.FileVersionLS) == packed)
        check(f"product version {version}", (fixed.ProductVersionMS, fixed.ProductVersionLS) == packed)
        check("file type application", fixed.FileType == 1)

    tables = []
    translations = []
    for info in getattr(pe, "FileInfo", [[]])[0]:
        if info.Key == b"StringFileInfo":
            tables += info.StringTable
        elif info.Key == b"VarFileInfo":
            translations += [var.entry.get(b"Translation") for var in info.Var]
    check("one string table, 080904B0", [t.LangID.upper() for t in tables] == [b"080904B0"])
    check(f"translation English (United Kingdom), Unicode: {translations}", translations == ["0x0809 0x04b0"])
    if tables:
        strings = {k.decode(): v.decode() for k, v in tables[0].entries.items()}
        for name, text in {**FIXED_STRINGS, "FileVersion": version, "ProductVersion": version}.items():
            check(f"{name} is {text!r} ({strings.get(name)!r})", strings.get(name) == text)
        for name in FREE_STRINGS:
            check(f"{name} says something ({strings.get(name)!r})", len(strings.get(name, "")) > 2)

    print(f"pe_check: {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

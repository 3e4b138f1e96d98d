#!/usr/bin/env python3
"""Compiles the program's sources for Windows in syntax-only mode.

Debian has no Qt for mingw-w64, so each source is checked with the mingw-w64
compiler against the Linux Qt headers: the compiler defines _WIN32, Qt then
defines Q_OS_WIN, and every Q_OS_WIN branch, <windows.h> and the Win32 registry
backend are compiled with the project's warnings as errors. What this cannot
check: linking, Qt's Windows-only headers and classes, and Qt feature switches
that differ between the Linux and the Windows build of Qt.

    windows_syntax_check.py BUILD_DIR SOURCE_DIR COMPILER WINDRES RESOURCE...
Reads BUILD_DIR/compile_commands.json (the Linux build's flags per source),
checks every source below SOURCE_DIR/src, plus the Windows-only ones the Linux
build does not compile, always with -Werror; then compiles each version
resource with WINDRES. Exit status 1 when one fails.
"""
import json
import os
import shlex
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor

build_dir, source_dir = (os.path.abspath(a) for a in sys.argv[1:3])
compiler, windres, resources = sys.argv[3], sys.argv[4], sys.argv[5:]
src = os.path.join(source_dir, "src") + os.sep
# Built only for Windows; checked with the flags of a core source.
windows_only = ["platform/RegistryWindows.cpp", "platform/RegistryPlatformWindows.cpp"]
linux_only = ["platform/RegistryPlatform.cpp"]  # its Windows counterpart above defines the same function

with open(os.path.join(build_dir, "compile_commands.json")) as f:
    entries = [e for e in json.load(f) if e["file"].startswith(src)]


def windows_flags(entry):
    """The entry's flags for mingw-w64: no output, no dependency files, no -fPIC (every Windows object is)."""
    args = shlex.split(entry["command"])[1:]
    flags, skip = [], False
    for arg in args:
        if skip:
            skip = False
        elif arg in ("-o", "-c", "-MF", "-MT", "-MQ"):
            skip = True
        elif arg.startswith("-fsanitize") or arg == "-fno-omit-frame-pointer":
            pass  # a sanitizer build's flags: mingw-w64 has no sanitizers, and they change no syntax
        elif arg not in ("-fPIC", "-MD", "-MMD") and arg != entry["file"]:
            flags.append(arg)
    return flags + ["-Werror", "-fsyntax-only"]


jobs = []
core = None
for e in entries:
    relative = e["file"][len(src):]
    if relative in linux_only:
        core = e
        continue
    jobs.append((relative, e["directory"], windows_flags(e) + [e["file"]]))
if core is None:
    sys.exit("windows_syntax_check: no core source in compile_commands.json; build first")
for relative in windows_only:
    jobs.append((relative, core["directory"], windows_flags(core) + [src + relative]))


def check(job):
    relative, directory, flags = job
    result = subprocess.run([compiler] + flags, cwd=directory, capture_output=True, text=True)
    return relative, result.returncode, result.stderr


failed = 0
with ThreadPoolExecutor(max_workers=2) as pool:
    for relative, status, errors in pool.map(check, sorted(jobs)):
        print(("ok      " if status == 0 else "FAILED  ") + relative)
        if status != 0:
            failed += 1
            print(errors)
for rc in resources:
    result = subprocess.run([windres, "-O", "coff", rc, "-o", os.devnull], capture_output=True, text=True)
    print(("ok      " if result.returncode == 0 else "FAILED  ") + os.path.basename(rc))
    if result.returncode != 0:
        failed += 1
        print(result.stderr)
print(f"windows_syntax_check: {len(jobs)} sources and {len(resources)} resources for Windows with {os.path.basename(compiler)}: "
      f"{len(jobs) + len(resources) - failed} clean, {failed} failed")
sys.exit(1 if failed else 0)

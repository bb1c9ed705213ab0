"""Guards the Windows modules as a CAD host on Windows meets them: the six delivered files
as 32-bit DLLs (and 64-bit ones beside the host and Ductora), the main module's and the
loader's exports by name, the in-house libraries imported by ordinal only and exporting no
names, the Win32 libraries bound, and the dialogs and version record as resources that
decompile exactly as the resource file the Linux build embeds. ./run windows (and ./run
test) make build-win32 and build-win64 beside build."""
import os
import re
import subprocess

from cadhost_run import bin_dir, check, source_dir

LIBRARIES = ["tekcore.dll", "tekshape.dll", "tekpaint.dll", "teksolid.dll"]
LOADER, MAIN = "Zephyr_Load_R20_x32.arx", "Zephyr_R20_x32.arx"
MAIN_EXPORTS = {"acrxEntryPoint", "acrxGetApiVersion", "block_build_from_a2d", "block_insertblockref",
                "block_get_free_blkname", "layer_create"}
WIN32_LIBRARIES = {"USER32.dll", "GDI32.dll", "ADVAPI32.dll", "WININET.dll", "OLE32.dll"}
BUILDS = {"build-win32": ("i686-w64-mingw32", "pei-i386", []),
          "build-win64": ("x86_64-w64-mingw32", "pei-x86-64", ["cadhost.exe", "cadhost_rt.dll", "Ductora.arx"])}


def run(*command):
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    check(done.returncode == 0, "%s failed" % " ".join(command), done.stdout)
    return done.stdout


def exports(dump):
    """The export table of `objdump -p`: its names, and the number of ordinals exported."""
    names, ordinals, section = set(), 0, None
    for line in dump.splitlines():
        if line.startswith("Export Address Table --"):
            section = "addresses"
        elif line.startswith("[Ordinal/Name Pointer] Table"):
            section = "names"
        elif not line.startswith("\t"):
            section = None
        elif section == "addresses" and "+base[" in line:
            ordinals += 1
        elif section == "names":
            names.add(line.split("]", 1)[1].strip())
    return names, ordinals


def imports(dump):
    """The import table of `objdump -p`: for each library, the names it gives (None for an
    import by ordinal alone)."""
    table, current = {}, None
    for line in dump.splitlines():
        named = re.match(r"\s+DLL Name: (\S+)", line)
        if named:
            current = table.setdefault(named.group(1), [])
            continue
        entry = re.match(r"\t[0-9a-f]+\t\s*[0-9a-f]+\s+(\S+)", line)
        if current is not None and entry:
            current.append(None if entry.group(1) == "<none>" else entry.group(1))
        elif not line.strip():
            current = None
    return table


def resources(windres, path):
    """The resources of a module or .res file as resource-script text; the memory flags a
    .res file keeps and a module does not are left out."""
    return run(windres, "-i", path, "-O", "rc").replace(" MOVEABLE PURE DISCARDABLE", "")


def definition_count(library):
    folder = {"tekcore.dll": "core", "tekshape.dll": "shape", "tekpaint.dll": "paint", "teksolid.dll": "solid"}[library]
    with open(os.path.join(source_dir(), "tek", folder, library.replace(".dll", ".def")), encoding="utf-8") as f:
        return sum(1 for line in f if re.search(r"@\d+\s+NONAME", line))


linux_res = os.path.join(os.path.dirname(bin_dir()), "app", "Zephyr_R20_x32_Zephyr_R20_x32.res")
check(os.path.exists(linux_res), "the Linux build compiled the main module's resources", linux_res)
for build, (triple, pe_format, host_files) in BUILDS.items():
    folder = os.path.join(source_dir(), build, "bin")
    check(os.path.isdir(folder), "%s exists (./run windows makes it)" % build, folder)
    objdump, windres = triple + "-objdump", triple + "-windres"
    for name in LIBRARIES + [LOADER, MAIN] + host_files:
        path = os.path.join(folder, name)
        check(os.path.exists(path), "%s/%s is built" % (build, name), folder)
        check("file format %s" % pe_format in run(objdump, "-f", path), "%s/%s is %s" % (build, name, pe_format))

    main = run(objdump, "-p", os.path.join(folder, MAIN))
    names, _ = exports(main)
    check(names == MAIN_EXPORTS, "%s: the main module exports the six by name" % build, sorted(names))
    table = imports(main)
    for library in LIBRARIES:
        entries = table.get(library)
        check(entries, "%s: the main module imports %s" % (build, library), sorted(table))
        check(all(name is None for name in entries),
              "%s: %s is imported by ordinal only" % (build, library), entries)
    present = {name.upper() for name in table}
    check({name.upper() for name in WIN32_LIBRARIES} <= present, "%s: the Win32 libraries are bound" % build,
          sorted(table))
    check("CADHOST_RT.DLL" in present, "%s: the host's programming interface comes from its runtime DLL" % build,
          sorted(table))

    names, _ = exports(run(objdump, "-p", os.path.join(folder, LOADER)))
    check(names == {"acrxEntryPoint", "acrxGetApiVersion"}, "%s: the loader's exports" % build, sorted(names))
    for library in LIBRARIES:
        names, ordinals = exports(run(objdump, "-p", os.path.join(folder, library)))
        check(not names and ordinals == definition_count(library),
              "%s: %s exports its %d functions by ordinal alone" % (build, library, definition_count(library)),
              (sorted(names), ordinals))

    # The resources as Windows reads them, against the file the Linux build embeds.
    in_module = resources(windres, os.path.join(folder, MAIN))
    for needed in ('"DLG_ACCEPT_CHANGES" DIALOGEX', '"DLG_VIEW_XDATA" DIALOGEX', "VERSIONINFO"):
        check(needed in in_module, "%s: the main module carries %s" % (build, needed), in_module)
    check(in_module == resources(windres, linux_res),
          "%s: the main module's resources are the ones the Linux build reads" % build, in_module)
print("ok")

#!/usr/bin/env python3
"""The Windows programs are finished executables, as Explorer shows them.

    resources_test.py VERSION LINUX-murl13-tool PROGRAM.exe...

For each program: no debugging sections; version information whose fixed and
string versions are VERSION, with a description, the group as the company
and a copyright; a manifest that is well-formed XML, made for Windows 10 and
11 and aware of each monitor's display scaling; and the icon at 16, 24, 32,
48, 64, 128 and 256 pixels (the 32-pixel one cell for cell the logo's
digits, transparency included; the 256-pixel one a PNG). Exit 1 and name
what is wrong, 0 when all is there.
"""

import re
import struct
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
ICON_SIZES = [16, 24, 32, 48, 64, 128, 256]
WINDOWS_10 = "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"


def sections_and_resources(data):
    """The section names and {type: {id: bytes}} of a PE file's resources."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    count, _, symbols, symbol_count, optional_size = struct.unpack_from("<HIIIH", data, pe + 6)
    optional = pe + 24
    # The resource table's place: data directory 2 of the PE32+ header.
    resource_rva = struct.unpack_from("<I", data, optional + 112 + 2 * 8)[0]
    strings = symbols + symbol_count * 18  # long section names live here
    names, spans = [], []
    for i in range(count):
        at = optional + optional_size + 40 * i
        name = data[at:at + 8].rstrip(b"\0").decode()
        if name.startswith("/"):
            start = strings + int(name[1:])
            name = data[start:data.index(b"\0", start)].decode()
        size, rva, _, raw = struct.unpack_from("<IIII", data, at + 8)
        names.append(name)
        spans.append((rva, size, raw))

    def offset(rva):
        return next(raw + rva - start for start, size, raw in spans if start <= rva < start + size)

    if resource_rva == 0:
        return names, {}
    base = offset(resource_rva)

    def entries(directory):
        named, numbered = struct.unpack_from("<HH", data, base + directory + 12)
        for i in range(named + numbered):
            key, target = struct.unpack_from("<II", data, base + directory + 16 + 8 * i)
            yield key, target

    resources = {}
    for kind, types in entries(0):
        for ident, languages in entries(types & 0x7FFFFFFF):
            for _, leaf in entries(languages & 0x7FFFFFFF):
                rva, size = struct.unpack_from("<II", data, base + leaf)
                resources.setdefault(kind, {})[ident] = data[offset(rva):offset(rva) + size]
    return names, resources


def bitmap_cells(image):
    """An icon bitmap's pixels (BGRA, bottom up) as logo values: 0 solid black,
    1 lit white, 2 transparent, 9 anything else."""
    width = struct.unpack_from("<i", image, 4)[0]
    values = {(0, 0, 0, 255): "0", (255, 255, 255, 255): "1"}
    rows = []
    for y in reversed(range(width)):
        row = image[40 + y * width * 4:40 + (y + 1) * width * 4]
        rows.append("".join("2" if row[x + 3] == 0 else values.get(tuple(row[x:x + 4]), "9")
                            for x in range(0, len(row), 4)))
    return rows


def check(program, version, linux_tool, faults):
    with open(program, "rb") as f:
        names, resources = sections_and_resources(f.read())
    debug = [name for name in names if name.startswith(".debug")]
    if debug:
        faults.append("%s: debugging sections %s" % (program, ", ".join(debug)))
    block = next(iter(resources.get(RT_VERSION, {}).values()), b"")
    fixed = block.find(struct.pack("<I", 0xFEEF04BD))  # the numbers Explorer shows as the file version
    ms, ls = struct.unpack_from("<II", block, fixed + 8) if fixed >= 0 else (0, 0)
    numbers = "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    fields = dict(re.findall(r"(\w+)\0+([^\0]+)", block.decode("utf-16-le", "replace")))
    if numbers != version + ".0" or fields.get("FileVersion") != version or \
            not fields.get("ProductVersion", "").startswith(version):
        faults.append("%s: version %s, %r, %r, not %s" % (program, numbers, fields.get("FileVersion"),
                                                          fields.get("ProductVersion"), version))
    for key, wanted in (("CompanyName", "Norq"), ("LegalCopyright", "Copyright"), ("FileDescription", "murl13"),
                        ("ProductName", "murl13")):
        if wanted not in fields.get(key, "").replace("Murl #13", "murl13"):
            faults.append("%s: %s is %r" % (program, key, fields.get(key)))
    manifest = next(iter(resources.get(RT_MANIFEST, {}).values()), b"").decode()
    try:
        ElementTree.fromstring(manifest)
    except ElementTree.ParseError as error:
        faults.append("%s: no well-formed manifest (%s)" % (program, error))
    if WINDOWS_10 not in manifest or "PerMonitorV2" not in manifest:
        faults.append("%s: the manifest names not both Windows 10 and per-monitor scaling" % program)
    group, sizes = next(iter(resources.get(RT_GROUP_ICON, {}).values()), b"\0" * 6), {}
    for i in range(struct.unpack_from("<H", group, 4)[0]):
        width, _, _, _, _, _, _, ident = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
        sizes[width or 256] = resources.get(RT_ICON, {}).get(ident, b"")
    if sorted(sizes) != ICON_SIZES:
        faults.append("%s: icon sizes %s" % (program, sorted(sizes)))
    # At 32 pixels each pixel is one cell of the 32-cell logo, centred.
    digits = subprocess.run([linux_tool, "art", "logo3", "--format", "digits"], stdout=subprocess.PIPE,
                            check=True).stdout.decode().split()
    logo = ["2" * 32] * 6 + digits + ["2" * 32] * 7
    if sizes.get(32, b"")[:4] != b"\x28\0\0\0" or bitmap_cells(sizes[32]) != logo:
        faults.append("%s: the 32-pixel icon is not the logo" % program)
    if not sizes.get(256, b"").startswith(b"\x89PNG") or struct.unpack_from(">II", sizes[256], 16) != (256, 256):
        faults.append("%s: the 256-pixel icon is not a 256 by 256 PNG" % program)


def main():
    if len(sys.argv) < 4:
        print(__doc__, file=sys.stderr)
        return 2
    version, linux_tool, programs = sys.argv[1], sys.argv[2], sys.argv[3:]
    faults = []
    for program in programs:
        check(program, version, linux_tool, faults)
    for fault in faults:
        print(fault)
    print("%d programs: %s" % (len(programs), "FAILED" if faults else "resources, version, manifest and icon in place"))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())

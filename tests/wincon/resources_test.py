#!/usr/bin/env python3
"""The Windows programs are finished executables, as Explorer shows them.

    resources_test.py VERSION LINUX-murl13-tool PROGRAM.exe...

For each program: no debugging sections; version information whose fixed and
string versions are VERSION, with a description, the group as the company
and a copyright; a manifest that is well-formed XML, made for Windows 10 and
11 and aware of each monitor's display scaling; and the icon at 16, 24, 32,
48, 64, 128 and 256 pixels, each picture the Linux workbench's
`art logo3 --format png --size N`, transparency included. Exit 1 and name
what is wrong, 0 when all is there.
"""

import struct
import subprocess
import sys
import xml.etree.ElementTree as ElementTree
import zlib

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


def version_strings(block):
    """The fixed file version and the string table of a VS_VERSIONINFO."""
    fixed = block.index(struct.pack("<I", 0xFEEF04BD))
    ms, ls = struct.unpack_from("<II", block, fixed + 8)
    numbers = (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    strings = {}
    text = block.decode("utf-16-le", errors="replace")
    for key in ("CompanyName", "FileDescription", "FileVersion", "LegalCopyright", "ProductName", "ProductVersion"):
        at = text.find(key + "\0")
        if at >= 0:
            value = text[at + len(key):].lstrip("\0")
            strings[key] = value[:value.index("\0")]
    return numbers, strings


def png_pixels(png):
    """RGBA rows of an 8-bit RGB or RGBA PNG, as flat bytes."""
    width, height, _, colour = struct.unpack_from(">IIBB", png, 16)
    channels = {2: 3, 6: 4}[colour]
    packed, at = b"", 8
    while at < len(png):
        length, kind = struct.unpack_from(">I4s", png, at)
        if kind == b"IDAT":
            packed += png[at + 8:at + 8 + length]
        at += 12 + length
    raw, stride = zlib.decompress(packed), width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind, row = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            left = row[x - channels] if x >= channels else 0
            up, corner = previous[x], previous[x - channels] if x >= channels else 0
            guess = left + up - corner
            paeth = min((abs(guess - left), 0, left), (abs(guess - up), 1, up), (abs(guess - corner), 2, corner))[2]
            row[x] = (row[x] + [0, left, up, (left + up) // 2, paeth][kind]) & 0xFF
        rows.append(bytes(row) if channels == 4 else b"".join(bytes(row[i:i + 3]) + b"\xff"
                                                               for i in range(0, stride, 3)))
        previous = row
    return width, b"".join(rows)


def bitmap_pixels(image):
    """RGBA rows of an icon's 32-bit bitmap (BGRA, bottom up)."""
    width = struct.unpack_from("<i", image, 4)[0]
    pixels = image[40:40 + width * width * 4]
    rows = [pixels[y * width * 4:(y + 1) * width * 4] for y in reversed(range(width))]
    return width, b"".join(bytes(row[i + k] for i in range(0, len(row), 4) for k in (2, 1, 0, 3)) for row in rows)


def check(program, version, linux_tool, faults):
    with open(program, "rb") as f:
        names, resources = sections_and_resources(f.read())
    debug = [name for name in names if name.startswith(".debug")]
    if debug:
        faults.append("%s: debugging sections %s" % (program, ", ".join(debug)))
    versions = list(resources.get(RT_VERSION, {}).values())
    if not versions:
        faults.append("%s: no version information" % program)
    else:
        numbers, strings = version_strings(versions[0])
        expected = tuple(int(n) for n in version.split(".")) + (0,)
        if numbers != expected or strings.get("FileVersion") != version:
            faults.append("%s: file version %s / %r, not %s" % (program, numbers, strings.get("FileVersion"), version))
        if not strings.get("ProductVersion", "").startswith(version):
            faults.append("%s: product version %r" % (program, strings.get("ProductVersion")))
        for key, wanted in (("CompanyName", "Norq"), ("LegalCopyright", "Copyright"), ("FileDescription", "murl13"),
                            ("ProductName", "murl13")):
            if wanted not in strings.get(key, "").replace("Murl #13", "murl13"):
                faults.append("%s: %s is %r" % (program, key, strings.get(key)))
    manifests = list(resources.get(RT_MANIFEST, {}).values())
    try:
        text = manifests[0].decode()
        ElementTree.fromstring(text)
        if WINDOWS_10 not in text or "PerMonitorV2" not in text:
            faults.append("%s: the manifest names neither Windows 10 nor per-monitor scaling" % program)
    except (IndexError, ElementTree.ParseError) as error:
        faults.append("%s: no well-formed manifest (%s)" % (program, error))
    groups = list(resources.get(RT_GROUP_ICON, {}).values())
    if not groups:
        faults.append("%s: no icon" % program)
        return
    group = groups[0]
    sizes = []
    for i in range(struct.unpack_from("<H", group, 4)[0]):
        width, _, _, _, _, _, _, ident = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
        size = width or 256
        sizes.append(size)
        image = resources.get(RT_ICON, {}).get(ident, b"")
        shown = png_pixels(image) if image.startswith(b"\x89PNG") else bitmap_pixels(image)
        drawn = subprocess.run([linux_tool, "art", "logo3", "--format", "png", "--size", str(size)],
                               stdout=subprocess.PIPE, check=True).stdout
        if shown != png_pixels(drawn):
            faults.append("%s: the %d-pixel icon is not the logo drawn at that size" % (program, size))
    if sorted(sizes) != ICON_SIZES:
        faults.append("%s: icon sizes %s" % (program, sorted(sizes)))


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

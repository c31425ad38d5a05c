#!/usr/bin/env python3
"""Differential check: tresmol-cli verinfo against python3-pefile.

    verinfo_pefile.py TRESMOL_CLI FIXTURE_DIR

Reads every fixture and a handful of real PE files from Debian's Mono packages with
both readers. pefile only parses; the platform's rules (which resource counts, which
language, the first translation, case-blind keys) are applied here to what pefile
parsed, and the result must equal what tresmol-cli prints, item by item.

Where pefile itself departs from the platform's behaviour, the file is listed in
KNOWN_DEPARTURES with the reason. Such a file must still differ (else the entry is
stale and the check fails), and any difference elsewhere fails the check.
"""

import glob
import json
import os
import re
import subprocess
import sys

import pefile

NO_VER = "No Version Info Available."
NO_LANG = "No language info."
NO_FIXED = "No fixed file info"
ITEMS = ["CompanyName", "FileDescription", "FileVersion", "InternalName", "LegalCopyright",
         "LegalTrademarks", "OriginalFilename", "ProductName", "ProductVersion", "Comments"]
FLAG_TEXTS = [(0x02, "Pre-release"), (0x08, "Private build"), (0x20, "Special build"),
              (0x01, "Debug")]
RT_VERSION = 16
# The tests run under LANG=C.UTF-8, whose language counts as US English.
USER_LANG = 0x0409

# Departures of pefile from the platform's behaviour, seen on the fixtures.
KNOWN_DEPARTURES = {
    # pefile keeps the last translation pair (each pair overwrites the one before);
    # the platform's query answers with the start of the table, the first pair.
    "pairs.exe": "pefile keeps the last translation pair",
    "longtranslation.exe": "pefile reads the bytes after the first pair as more pairs "
                           "and keeps the last",
    # pefile reads only PE files.
    "ne16.exe": "pefile does not read 16-bit NE files",
    "ne16ru.exe": "pefile does not read 16-bit NE files",
    # pefile matches "StringFileInfo" and "VarFileInfo" with their case; the platform
    # compares keys without regard to case.
    "lowerkeys.exe": "pefile ignores StringFileInfo/VarFileInfo keyed in another case",
    # pefile cuts a text value at its wValueLength; the platform reads to the zero.
    "hints.exe": "pefile trusts a text value's length over its terminator",
    # pefile assumes a 52-byte fixed record whatever wValueLength says, and then
    # reads the children from the wrong place.
    "nofixed.exe": "pefile reads a fixed record that the block does not have",
    "shortfixed.exe": "pefile reads a fixed record of 52 bytes where there are 20",
    # pefile rejects a root node longer than the resource; the platform's copy of
    # the block is simply as long as the resource.
    "longroot.exe": "pefile drops a block whose root claims more than the resource",
    # pefile reads the section headers that fit and carries on; we take a section
    # table that runs past the end of the file as a damaged image.
    "manysections.exe": "pefile reads a file whose section table runs past its end",
    # pefile drops a block whose root is not keyed VS_VERSION_INFO; the platform
    # hands the block over and only its queries fail, so no translation is found.
    "noise.exe": "pefile drops a block whose root key is not VS_VERSION_INFO",
    # pefile reads a resource whose size runs past the end of the file, as far as
    # the file goes; the platform cannot load such a resource at all.
    "size4g.exe": "pefile reads a resource 4 GB long up to the end of the file",
    "sizeoutside.exe": "pefile reads a resource that runs past the end of the file",
    "truncated.exe": "pefile reads the part of the block that a cut file still holds",
}

# Departures the check makes up for before comparing; each is shown to be still
# there on the fixture named.
def compensated_departures(fixture_dir):
    """(fixture, what pefile does, True when pefile still does it)"""
    def parsed(name):
        pe = pefile.PE(os.path.join(fixture_dir, name), fast_load=True)
        pe.parse_data_directories(
            directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
        return pe

    def raw_strings(pe):
        return [v for block in pe.FileInfo[0] if block.Key == b"StringFileInfo"
                for table in block.StringTable for v in table.entries.values()]

    return [
        # pefile parses a version resource of any name; the check keeps name 1 only.
        ("name102.exe", "pefile takes a version resource named 102",
         len(getattr(parsed("name102.exe"), "VS_VERSIONINFO", [])) == 1),
        # pefile parses every language; the check picks one as the platform does.
        ("languages.exe", "pefile reads all three languages of name 1",
         len(getattr(parsed("languages.exe"), "VS_VERSIONINFO", [])) == 3),
        # pefile writes each half of a surrogate pair as a backslash escape; the
        # check joins them back.
        ("english64.exe", "pefile escapes the halves of a surrogate pair",
         any(b"\\ud83d\\ude00" in v for v in raw_strings(parsed("english64.exe")))),
    ]

# Lone and paired surrogates come out of pefile as backslash escapes; a pair is
# joined back into its character, a lone half made that half again, before
# comparing.
SURROGATE_PAIR = re.compile(r"\\u(d[89ab][0-9a-f]{2})\\u(d[c-f][0-9a-f]{2})")
LONE_SURROGATE = re.compile(r"\\u(d[89a-f][0-9a-f]{2})")


def unescape_pairs(text):
    text = SURROGATE_PAIR.sub(
        lambda m: (chr(int(m.group(1), 16)) + chr(int(m.group(2), 16)))
        .encode("utf-16", "surrogatepass").decode("utf-16"), text)
    return LONE_SURROGATE.sub(lambda m: chr(int(m.group(1), 16)), text)


def key_is(raw, wanted):
    return raw.decode("latin-1").lower() == wanted.lower()


def pefile_view(path):
    """What the platform would report, worked out from pefile's parse."""
    if not os.path.isfile(path):
        return {"error": NO_VER}
    try:
        pe = pefile.PE(path, fast_load=True)
        pe.parse_data_directories(
            directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    except pefile.PEFormatError:
        return {"error": NO_VER}

    # pefile parses every version resource, in the order of the directory.
    leaves = []
    for rtype in getattr(getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None), "entries", []):
        if rtype.id != RT_VERSION or not hasattr(rtype, "directory"):
            continue
        for name in rtype.directory.entries:
            for lang in getattr(getattr(name, "directory", None), "entries", []):
                leaves.append((name.id, lang.id))
    infos = getattr(pe, "VS_VERSIONINFO", [])
    fixeds = getattr(pe, "VS_FIXEDFILEINFO", [])
    fileinfos = getattr(pe, "FileInfo", [])
    named_one = [i for i, (name, _) in enumerate(leaves) if name == 1]
    if not named_one or not infos:
        return {"error": NO_VER}
    chosen = None
    for wanted in (0, USER_LANG, 0x0409):
        chosen = next((i for i in named_one if leaves[i][1] == wanted), None)
        if chosen is not None:
            break
    if chosen is None:
        chosen = named_one[0]
    if chosen >= len(infos):
        return {"error": NO_VER}
    fileinfo = fileinfos[chosen] if chosen < len(fileinfos) else []

    translation = None
    for block in fileinfo:
        if key_is(block.Key, "VarFileInfo"):
            for var in getattr(block, "Var", []):
                for k, v in getattr(var, "entry", {}).items():
                    if key_is(k, "Translation") and translation is None:
                        lang, cp = v.split()
                        translation = (int(lang, 16), int(cp, 16))
    if translation is None:
        return {"error": NO_LANG}
    if chosen >= len(fixeds):
        return {"error": NO_FIXED}
    fixed = fixeds[chosen]

    table_key = "%04X%04X" % translation
    strings = {}
    for block in fileinfo:
        if key_is(block.Key, "StringFileInfo"):
            for table in getattr(block, "StringTable", []):
                if key_is(table.LangID, table_key) and not strings:
                    strings = {k.decode("utf-8").lower(): v for k, v in table.entries.items()}
    view = {}
    for item in ITEMS:
        value = strings.get(item.lower(), b"")
        view[item] = unescape_pairs(value.decode("utf-8", "surrogateescape"))
    view["LangID"] = "%04X" % translation[0]
    view["CodePage"] = str(translation[1])
    flags = fixed.FileFlagsMask & fixed.FileFlags
    view["Flags"] = [text for bit, text in FLAG_TEXTS if flags & bit]
    return view


def ours(cli, paths):
    out = subprocess.run([cli, "verinfo"] + paths, check=True, capture_output=True).stdout
    results = {}
    for line in out.decode("utf-8").splitlines():
        record = json.loads(line)
        results[record["path"]] = record
    return results


def comparable(record):
    if "error" in record:
        return {"error": record["error"]}
    return {k: record[k] for k in ITEMS + ["LangID", "CodePage", "Flags"]}


def real_pe_files():
    found = sorted(set(glob.glob("/usr/lib/mono/**/*.dll", recursive=True) +
                       glob.glob("/usr/lib/mono/**/*.exe", recursive=True)))
    found = [f for f in found if os.path.isfile(f) and not os.path.islink(f)]
    # A handful, spread over the list, the big mscorlib among them when present.
    picked = found[:: max(1, len(found) // 8)][:8]
    picked += [f for f in found if f.endswith("/4.5/mscorlib.dll")][:1]
    return picked


def main():
    cli, fixture_dir = sys.argv[1], sys.argv[2]
    fixtures = sorted(os.path.join(fixture_dir, f) for f in os.listdir(fixture_dir)
                      if not f.startswith("."))
    # A folder and a missing path go along with the fixtures.
    fixtures += [fixture_dir, os.path.join(fixture_dir, "missing.exe")]
    real = real_pe_files()
    if not real:
        print("no PE files from Debian's Mono packages found under /usr/lib/mono")
        return 1
    results = ours(cli, fixtures + real)
    failures = 0
    departures = 0
    for name, what, still in compensated_departures(fixture_dir):
        departures += 1
        print(f"{'made up' if still else 'STALE'}    {name}: {what}")
        failures += 0 if still else 1
    for path in fixtures + real:
        name = os.path.basename(path)
        mine = comparable(results[path])
        theirs = pefile_view(path)
        differs = mine != theirs
        known = KNOWN_DEPARTURES.get(name) if path in fixtures else None
        if known:
            departures += 1
            if differs:
                print(f"departure  {name}: {known}")
            else:
                print(f"STALE      {name}: documented departure no longer seen: {known}")
                failures += 1
        elif differs:
            failures += 1
            print(f"DIFFERENT  {path}")
            for key in sorted(set(mine) | set(theirs)):
                if mine.get(key) != theirs.get(key):
                    print(f"    {key}: tresmol {mine.get(key)!r}  pefile {theirs.get(key)!r}")
        else:
            print(f"same       {path}")
    print(f"{len(fixtures) + len(real)} files, {len(real)} from Debian, "
          f"{departures} documented departures, {failures} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

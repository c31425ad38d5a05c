#!/usr/bin/env python3
"""Version-information reading speed: tresmol-cli verinfo against python3-pefile and
exiftool on one corpus of 10,000 PE files, in the same run. Reports figures only.

    bench/verinfo/run.py TRESMOL_CLI FIXTURE_DIR [COUNT]

The corpus is made of links to the readable PE fixtures (tests/fixtures/verinfo,
built into FIXTURE_DIR) and to the .NET assemblies of Debian's Mono packages. Each
reader runs once to warm the page cache and once more for the figure. tresmol-cli
and exiftool each read the whole corpus in one process (a few, for tresmol-cli, to
keep command lines short); pefile reads it in this Python process, loading only
the headers and the resource directory.
"""

import glob
import os
import subprocess
import sys
import tempfile
import time

import pefile


def corpus_sources(fixture_dir):
    sources = [os.path.join(fixture_dir, f) for f in sorted(os.listdir(fixture_dir))
               if f.startswith(("english", "russian", "pairs", "flags", "mismatch", "zero",
                                "longvalue", "lowercase", "languages", "neutral"))]
    sources += sorted(f for f in glob.glob("/usr/lib/mono/4.5/*.dll")
                      if os.path.isfile(f) and not os.path.islink(f))
    return sources


def build_corpus(sources, count, folder):
    paths = []
    for i in range(count):
        source = sources[i % len(sources)]
        path = os.path.join(folder, f"{i:05d}_{os.path.basename(source)}")
        try:
            os.link(source, path)
        except OSError:
            with open(source, "rb") as src, open(path, "wb") as dst:
                dst.write(src.read())
        paths.append(path)
    return paths


def run_tresmol(cli, paths):
    for start in range(0, len(paths), 2000):
        subprocess.run([cli, "verinfo"] + paths[start:start + 2000], check=True,
                       stdout=subprocess.DEVNULL)


def run_pefile(paths):
    resource = pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]
    for path in paths:
        try:
            pe = pefile.PE(path, fast_load=True)
            pe.parse_data_directories(directories=[resource])
            getattr(pe, "FileInfo", None)
            pe.close()
        except pefile.PEFormatError:
            pass


def run_exiftool(paths, folder):
    argfile = os.path.join(folder, "exiftool.args")
    with open(argfile, "w") as f:
        f.write("\n".join(paths) + "\n")
    subprocess.run(["exiftool", "-fast2", "-j", "-q", "-q", "-@", argfile], check=False,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def timed(action):
    action()  # warm-up
    start = time.perf_counter()
    action()
    return time.perf_counter() - start


def main():
    cli, fixture_dir = sys.argv[1], sys.argv[2]
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 10000
    with tempfile.TemporaryDirectory() as folder:
        paths = build_corpus(corpus_sources(fixture_dir), count, folder)
        results = {"tresmol-cli": timed(lambda: run_tresmol(cli, paths)),
                   "pefile": timed(lambda: run_pefile(paths))}
        if subprocess.run(["which", "exiftool"], stdout=subprocess.DEVNULL).returncode == 0:
            results["exiftool"] = timed(lambda: run_exiftool(paths, folder))
    print(f"corpus: {count} PE files")
    for name, seconds in results.items():
        print(f"{name:12s} {seconds:8.2f} s  {count / seconds:10.0f} files/s")
    ours = results["tresmol-cli"]
    others = {k: v for k, v in results.items() if k != "tresmol-cli"}
    for name, seconds in others.items():
        print(f"tresmol-cli is {seconds / ours:.1f} times as fast as {name}")
    fastest = min(others.values())
    print(f"against the faster of the others: {fastest / ours:.1f} times")


if __name__ == "__main__":
    main()

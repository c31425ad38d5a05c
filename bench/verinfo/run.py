#!/usr/bin/env python3
"""Version-information reading speed: tresmol-cli verinfo against python3-pefile and
exiftool on one corpus of 10,000 PE files, in the same run. Reports figures only.

    bench/verinfo/run.py TRESMOL_CLI FIXTURE_DIR [COUNT]

The corpus is made of links to the readable PE fixtures (tests/fixtures/verinfo,
built into FIXTURE_DIR) and to the .NET assemblies of Debian's Mono packages. Each
reader runs once to warm the page cache and once more for the figure. tresmol-cli
and exiftool each read the whole corpus in one process (tresmol-cli in more only
when the command line would grow too long); pefile reads it in this Python process, loading only
the headers and the resource directory.
"""

import glob
import os
import resource
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
    # As few processes as the command-line limit allows (one for the usual corpus).
    limit = os.sysconf("SC_ARG_MAX") // 4
    start = 0
    while start < len(paths):
        end, size = start, 0
        while end < len(paths) and size + len(paths[end]) + 1 < limit:
            size += len(paths[end]) + 1
            end += 1
        subprocess.run([cli, "verinfo"] + paths[start:end], check=True,
                       stdout=subprocess.DEVNULL)
        start = end


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


def cpu_seconds():
    """Processor time used so far by this process and its finished children."""
    own = resource.getrusage(resource.RUSAGE_SELF)
    children = resource.getrusage(resource.RUSAGE_CHILDREN)
    return own.ru_utime + own.ru_stime + children.ru_utime + children.ru_stime


def timed(action):
    """Wall-clock and processor seconds of the second of two runs."""
    action()  # warm-up
    wall, cpu = time.perf_counter(), cpu_seconds()
    action()
    return time.perf_counter() - wall, cpu_seconds() - cpu


def main():
    cli, fixture_dir = sys.argv[1], sys.argv[2]
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 10000
    with tempfile.TemporaryDirectory() as folder:
        paths = build_corpus(corpus_sources(fixture_dir), count, folder)
        results = {"tresmol-cli": timed(lambda: run_tresmol(cli, paths)),
                   "pefile": timed(lambda: run_pefile(paths))}
        if subprocess.run(["which", "exiftool"], stdout=subprocess.DEVNULL).returncode == 0:
            results["exiftool"] = timed(lambda: run_exiftool(paths, folder))
    # Processor time is reported beside the wall clock: on a busy machine it is the
    # steadier of the two.
    print(f"corpus: {count} PE files, warm")
    print(f"{'reader':12s} {'wall s':>8s} {'files/s':>10s} {'cpu s':>8s} {'files/cpu s':>12s}")
    for name, (wall, cpu) in results.items():
        print(f"{name:12s} {wall:8.2f} {count / wall:10.0f} {cpu:8.2f} {count / cpu:12.0f}")
    ours = results["tresmol-cli"]
    others = {k: v for k, v in results.items() if k != "tresmol-cli"}
    for name, (wall, cpu) in others.items():
        print(f"tresmol-cli against {name}: {wall / ours[0]:.1f} times (wall), "
              f"{cpu / ours[1]:.1f} times (cpu)")
    print(f"against the faster of the others: "
          f"{min(w for w, _ in others.values()) / ours[0]:.1f} times (wall), "
          f"{min(c for _, c in others.values()) / ours[1]:.1f} times (cpu)")


if __name__ == "__main__":
    main()

#!/usr/bin/python3
"""Export benchmark: `tresmol-cli export` against python3-xlsxwriter writing the same
sheet (same layout, same rows, integers as numbers) from the same generated catalogue.
Each is timed as a whole process (start, reading the catalogue, writing, exit), the
two alternating within one run, so the ratio holds however loaded the machine is.
Reports every run, the median times, their ratio, peak resident memory and sizes.
A figure, never a pass or fail.

  bench/bench_export.py [--records N] [--runs K] [--catalogue PATH] [--check]
                        [--libreoffice] [--build]

--catalogue keeps the generated catalogue at PATH (made when missing) for later runs.
--check reads both workbooks back whole with openpyxl and compares every cell.
--libreoffice converts both to CSV with `libreoffice --headless --convert-to csv`
and compares the results (a workbook that needed repair would not convert cleanly).
--build builds the release preset first.
"""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RELEASE = os.path.join(ROOT, "build", "release")
CLI = os.path.join(RELEASE, "tools", "tresmol-cli", "tresmol-cli")
GEN = os.path.join(RELEASE, "bench", "bench_gencatalogue")
# Debian's interpreter, which has python3-xlsxwriter and python3-openpyxl.
PYTHON = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable

TITLES = ["Номер", "Название программы", "Название файла", "Производитель", "Язык",
          "Тип программы", "Тип диска", "Производитель", "Категория", "Платформа",
          "Исходное имя файла", "Внутреннее имя", "Версия программы", "Версия файла",
          "Сайт(коммент.)", "Размер", "Год", "Примечание", "Рейтинг", "Lang. ID",
          "Code Page", "Товарные знаки", "Авторские права"]
WIDTHS = [10] + [20] * 14 + [9, 9, 20, 20, 10, 10, 20, 20]

# The view in the table's own order, lookups by key, cut to the lookup fields' size.
QUERY = """
SELECT s.ProductName, s.FileName, s.CompanyName, s.Language,
       substr(pt.ProgramtypeType, 1, 20), substr(td.TypeDisc, 1, 20),
       substr(md.ManufacturerDiscType, 1, 20), substr(c.CategoryType, 1, 20),
       substr(p.TypePlatform, 1, 20), s.OriginalFilename, s.InternalName,
       s.ProductVersion, s.FileVersion, s.Comments, s.Size, s.Year, s.Label, s.Rating,
       s.LangID, s.CodePage, s.LegalTrademarks, s.LegalCopyright
FROM SoftTable s
LEFT JOIN ProgramtypeBase pt ON pt.key5 = s.Programtype
LEFT JOIN TypeDiscBase td ON td.key1 = s.TypeDisc
LEFT JOIN ManufacturerDiscBase md ON md.key6 = s.ManufacturerDisc
LEFT JOIN CategoryBase c ON c.key3 = s.Category
LEFT JOIN PlatformBase p ON p.key2 = s.Platform
ORDER BY s.Id
"""


def peer(catalogue, out):
    """The Python writer: the sheet tresmol-cli writes, in xlsxwriter's constant
    memory mode, rows straight from the catalogue."""
    import sqlite3
    import xlsxwriter
    db = sqlite3.connect(catalogue)
    wb = xlsxwriter.Workbook(out, {"constant_memory": True})
    ws = wb.add_worksheet("Экспорт")
    title = wb.add_format({"bold": True, "font_size": 15, "font_color": "#0000FF"})
    bold = wb.add_format({"bold": True})
    for c, w in enumerate(WIDTHS):
        ws.set_column(c, c, w)
    ws.freeze_panes(2, 0)
    ws.set_row(0, None, title)
    ws.write_string(0, 3, "Tresmol - экспорт базы данных ", title)
    ws.set_row(1, None, bold)
    for c, t in enumerate(TITLES):
        ws.write_string(1, c, t, bold)
    for r, row in enumerate(db.execute(QUERY), start=2):
        ws.write_number(r, 0, r - 1)
        for c, v in enumerate(row, start=1):
            if v is None or v == "":
                continue
            if isinstance(v, int):
                ws.write_number(r, c, v)
            else:
                ws.write_string(r, c, str(v))
    wb.close()


def timed(cmd):
    """Runs CMD; returns seconds, peak resident MB, its standard error, and the CPU
    seconds of all its threads."""
    with tempfile.TemporaryFile() as err:
        start = time.perf_counter()
        p = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=err)
        _, status, usage = os.wait4(p.pid, 0)
        seconds = time.perf_counter() - start
        p.returncode = os.waitstatus_to_exitcode(status)
        err.seek(0)
        text = err.read().decode("utf-8", "replace")
    if p.returncode != 0:
        sys.exit("failed: %s\n%s" % (" ".join(cmd), text))
    return seconds, usage.ru_maxrss / 1024.0, text, usage.ru_utime + usage.ru_stime


def read_whole(path):
    import openpyxl
    wb = openpyxl.load_workbook(path, read_only=True)
    ws = wb.worksheets[0]
    return [tuple((cell.value, cell.data_type) for cell in row if cell.value is not None)
            for row in ws.iter_rows()]


def to_csv(path, outdir):
    subprocess.run(["libreoffice", "--headless", "--convert-to", "csv", "--outdir", outdir,
                    path], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with open(os.path.join(outdir, os.path.splitext(os.path.basename(path))[0] + ".csv"),
              "rb") as f:
        return f.read()


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "--peer":
        peer(sys.argv[2], sys.argv[3])
        return
    ap = argparse.ArgumentParser()
    ap.add_argument("--records", type=int, default=100000)
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--catalogue")
    ap.add_argument("--check", action="store_true")
    ap.add_argument("--libreoffice", action="store_true")
    ap.add_argument("--build", action="store_true")
    a = ap.parse_args()
    if a.build:
        subprocess.run(["cmake", "--preset", "release"], cwd=ROOT, check=True,
                       stdout=subprocess.DEVNULL)
        subprocess.run(["cmake", "--build", "--preset", "release", "-j2", "--target",
                        "tresmol-cli", "bench_gencatalogue"], cwd=ROOT, check=True,
                       stdout=subprocess.DEVNULL)
    work = tempfile.mkdtemp(prefix="tresmol-bench-export-")
    catalogue = a.catalogue or os.path.join(work, "Tresmol.mdb")
    if not os.path.exists(catalogue):
        t = timed([GEN, catalogue, str(a.records)])[0]
        print("generated %d records in %.1f s" % (a.records, t))
    ours_out = os.path.join(work, "tresmol.xlsx")
    peer_out = os.path.join(work, "python.xlsx")
    ours, theirs, cpu, store = [], [], [], []
    with open("/proc/loadavg") as f:
        print("load average before: %s" % " ".join(f.read().split()[:3]))
    for run in range(a.runs):
        for path in (ours_out, peer_out):
            if os.path.exists(path):
                os.remove(path)
        t1, m1, warn, c1 = timed([CLI, "export", catalogue, ours_out])
        t2, m2, _, c2 = timed([PYTHON, os.path.abspath(__file__), "--peer", catalogue,
                               peer_out])
        # The catalogue's share: opened, searched for nothing, closed.
        t3 = timed([CLI, "list", catalogue, "--search", "\u0416\u0416\u0416"])[0]
        store.append(t3)
        ours.append((t1, m1))
        theirs.append((t2, m2))
        cpu.append((c1, c2))
        print("run %d: tresmol-cli %.2f s (%.2f s CPU, %.0f MB peak), python3-xlsxwriter "
              "%.2f s (%.2f s CPU, %.0f MB peak), ratio %.1f (CPU %.1f)"
              % (run + 1, t1, c1, m1, t2, c2, m2, t2 / t1, c2 / c1), flush=True)
        print("       of which opening and closing the catalogue (a list that shows "
              "nothing): %.2f s" % t3)
        if warn:
            print(warn, end="")
    mo = statistics.median(t for t, _ in ours)
    mt = statistics.median(t for t, _ in theirs)
    print("records %d: tresmol-cli export %.2f s, python3-xlsxwriter %.2f s (medians), "
          "python/tresmol %.1f; median of the per-run ratios %.1f"
          % (a.records, mo, mt, mt / mo, statistics.median(t2 / t1 for (t1, _), (t2, _)
                                                           in zip(ours, theirs))))
    print("CPU time (all threads): tresmol-cli %.2f s, python3-xlsxwriter %.2f s (medians), "
          "ratio %.1f" % (statistics.median(c for c, _ in cpu),
                          statistics.median(c for _, c in cpu),
                          statistics.median(c for _, c in cpu) /
                          statistics.median(c for c, _ in cpu)))
    print("peak resident memory: tresmol-cli %.0f MB, python3-xlsxwriter %.0f MB"
          % (max(m for _, m in ours), max(m for _, m in theirs)))
    print("workbooks: tresmol-cli %.1f MB, python3-xlsxwriter %.1f MB"
          % (os.path.getsize(ours_out) / 1048576, os.path.getsize(peer_out) / 1048576))
    if a.check:
        same = read_whole(ours_out) == read_whole(peer_out)
        print("openpyxl reads the same values and types in both: %s" % ("yes" if same else "NO"))
    if a.libreoffice:
        lo = os.path.join(work, "csv")
        os.mkdir(lo)
        same = to_csv(ours_out, lo) == to_csv(peer_out, lo)
        print("LibreOffice converts both to the same CSV: %s" % ("yes" if same else "NO"))
    print("files in %s" % work)


if __name__ == "__main__":
    main()

#!/usr/bin/python3
"""Times kslagent converting a generated table, next to the read floor and a peer.

    bench/convert/convert_bench.py [--build build] [--rows 200000,1000000] [--runs 3]
                                   [--work /tmp/kestrel-convert-bench] [--keep]

For each row count it generates the table PERF_ROWS into an ocilite database
(the table is created by ocilite-load, its rows are filled through sqlite3 in
the layout the engine reads), then runs, alternating, --runs times each:

  kslagent   converting the table into a DBF folder (--silent);
  floor      sqlite3 -csv reading the same table to /dev/null (the read floor);
  ogr2ogr    ogr2ogr -f "ESRI Shapefile" from the SQLite file (the peer most
             users would pick; it cuts the CLOB to 254 characters and keeps the
             DATE as a text).

Each run is measured by /usr/bin/time -v: wall time, user + system CPU and peak
resident memory.  The report gives the median of the runs of each tool, rows
per second, and the ratios: kslagent's rows/s against the peer's, kslagent's
wall time against the floor's, and kslagent's peak memory at the largest row
count against the smallest.  Needs sqlite3, ogr2ogr (apt gdal-bin) and GNU time
(apt time).
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

CREATE_SQL = """\
CREATE TABLE PERF_ROWS (
  ID NUMBER(10) NOT NULL PRIMARY KEY,
  NAME VARCHAR2(40),
  AMOUNT NUMBER(12,2),
  QTY NUMBER(5),
  PRICE BINARY_DOUBLE,
  CREATED DATE,
  ACTIVE CHAR(1),
  NOTE VARCHAR2(200),
  REMARK CLOB
);
"""

# Rows in ocilite's storage layout (ocilite/ol_catalog.h): integral NUMBERs as
# INTEGER and the others as Oracle's canonical decimal text (".5", "12.3"),
# DATE as 'YYYY-MM-DD HH24:MI:SS', CLOB as text.  NOTE is NULL in 30% of the
# rows; REMARK holds 1..600 characters in half the rows, one character in a
# tenth and is NULL in 40%.
FILL_SQL = """\
PRAGMA journal_mode = OFF;
PRAGMA synchronous = OFF;
BEGIN;
WITH RECURSIVE
  g(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM g WHERE i < {rows}),
  words(t) AS (SELECT replace(hex(zeroblob(400)), '00', 'lorem ipsum dolor sit amet, '))
INSERT INTO PERF_ROWS
SELECT i,
       'Customer ' || i || ' ' || substr('abcdefghijklmnopqrstuvwxyz', 1 + i % 26, 1 + i % 13),
       CASE WHEN c % 100 = 0 THEN c / 100
            WHEN c % 10 = 0 THEN (CASE WHEN c / 100 = 0 THEN '' ELSE c / 100 END)
                                 || '.' || (c % 100 / 10)
            ELSE (CASE WHEN c / 100 = 0 THEN '' ELSE c / 100 END) || '.' || printf('%02d', c % 100)
       END,
       i % 99999,
       (i % 100000) / 7.0,
       datetime(1262304000 + (i * 7919) % 473040000, 'unixepoch'),
       CASE i % 3 WHEN 0 THEN 'N' ELSE 'Y' END,
       CASE WHEN i % 10 < 3 THEN NULL
            ELSE 'Note ' || i || ': ' || substr(words.t, 1 + i % 50, (i * 13) % 180) END,
       CASE WHEN i % 10 < 4 THEN NULL
            WHEN i % 10 = 9 THEN 'x'
            ELSE substr(words.t, 1 + i % 40, 1 + (i * 31) % 600) END
FROM (SELECT i, (i * 7919) % 100000000 AS c FROM g), words;
COMMIT;
"""


def run(cmd, **kw):
    return subprocess.run(cmd, check=True, **kw)


def make_database(path, rows, ocilite_load):
    if os.path.exists(path):
        return
    tmp = path + ".tmp"
    if os.path.exists(tmp):
        os.remove(tmp)
    with tempfile.NamedTemporaryFile("w", suffix=".sql", delete=False) as f:
        f.write(CREATE_SQL)
        script = f.name
    try:
        run([ocilite_load, "--user", "PERF/perf", tmp, script], stdout=subprocess.DEVNULL)
    finally:
        os.remove(script)
    run(["sqlite3", tmp], input=FILL_SQL.format(rows=rows), text=True,
        stdout=subprocess.DEVNULL)
    os.rename(tmp, path)


def timed(cmd, stdout=subprocess.DEVNULL):
    """Runs cmd under /usr/bin/time -v; returns (wall s, cpu s, peak RSS KiB)."""
    with tempfile.NamedTemporaryFile("r", suffix=".time", delete=False) as f:
        report = f.name
    try:
        subprocess.run(["/usr/bin/time", "-v", "-o", report] + cmd, check=True, stdout=stdout,
                       stderr=subprocess.DEVNULL)
        fields = {}
        with open(report) as f:
            for line in f:
                key, _, value = line.strip().rpartition(": ")
                fields[key] = value
    finally:
        os.remove(report)
    wall = fields["Elapsed (wall clock) time (h:mm:ss or m:ss)"]
    seconds = 0.0
    for part in wall.split(":"):
        seconds = seconds * 60 + float(part)
    cpu = float(fields["User time (seconds)"]) + float(fields["System time (seconds)"])
    return seconds, cpu, int(fields["Maximum resident set size (kbytes)"])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default="build")
    parser.add_argument("--rows", default="200000,1000000")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--work", default=os.path.join(tempfile.gettempdir(),
                                                       "kestrel-convert-bench"))
    parser.add_argument("--keep", action="store_true", help="keep the generated databases")
    args = parser.parse_args()

    kslagent = os.path.abspath(os.path.join(args.build, "bin", "kslagent"))
    ocilite_load = os.path.abspath(os.path.join(args.build, "bin", "ocilite-load"))
    for tool in (kslagent, ocilite_load):
        if not os.access(tool, os.X_OK):
            sys.exit(f"missing {tool}: build the targets kslagent and ocilite-load first")
    for tool in ("sqlite3", "ogr2ogr", "/usr/bin/time"):
        if shutil.which(tool) is None:
            sys.exit(f"missing {tool} (apt sqlite3, gdal-bin, time)")

    os.makedirs(args.work, exist_ok=True)
    results = {}  # (rows, tool) -> list of (wall, cpu, rss)
    row_counts = [int(r) for r in args.rows.split(",")]
    for rows in row_counts:
        db = os.path.join(args.work, f"perf_{rows}.db")
        make_database(db, rows, ocilite_load)
        out = os.path.join(args.work, "out")
        tools = {
            "kslagent": lambda: timed([kslagent, "--src=" + db, "--oraclu=PERF", "--oraclp=perf",
                                       "--dest=" + out + "/dbf", "--silent"]),
            "floor": lambda: timed(["sqlite3", "-csv", db, "SELECT * FROM PERF_ROWS"]),
            "ogr2ogr": lambda: timed(["ogr2ogr", "-f", "ESRI Shapefile", out + "/shp", db,
                                      "PERF_ROWS"]),
        }
        for i in range(args.runs):
            for name, measure in tools.items():
                shutil.rmtree(out, ignore_errors=True)
                os.makedirs(out)
                results.setdefault((rows, name), []).append(measure())
                wall, cpu, rss = results[(rows, name)][-1]
                print(f"  {rows:>9} {name:<9} run {i + 1}: {wall:7.2f} s wall, {cpu:7.2f} s cpu, "
                      f"{rss / 1024:7.1f} MiB", file=sys.stderr)
        shutil.rmtree(out, ignore_errors=True)
        if not args.keep:
            os.remove(db)

    def median(rows, tool, i):
        return statistics.median(r[i] for r in results[(rows, tool)])

    print(f"{'rows':>9}  {'tool':<9} {'wall s':>8} {'rows/s':>11} {'cpu s':>8} {'peak MiB':>9}")
    for rows in row_counts:
        for tool in ("kslagent", "floor", "ogr2ogr"):
            wall, cpu, rss = (median(rows, tool, i) for i in range(3))
            print(f"{rows:>9}  {tool:<9} {wall:8.2f} {rows / wall:11,.0f} {cpu:8.2f} "
                  f"{rss / 1024:9.1f}")
    print()
    for rows in row_counts:
        k = median(rows, "kslagent", 0)
        print(f"{rows:>9} rows: kslagent/ogr2ogr rows/s = {median(rows, 'ogr2ogr', 0) / k:.2f}x "
              f"(target >= 3), kslagent/floor wall = {k / median(rows, 'floor', 0):.2f}x "
              f"(target <= 2)")
        # On a shared machine the wall times carry the other processes' load;
        # the CPU times do not.
        kc = median(rows, "kslagent", 1)
        print(f"{rows:>9} rows by CPU time: ogr2ogr/kslagent = "
              f"{median(rows, 'ogr2ogr', 1) / kc:.2f}x, kslagent/floor = "
              f"{kc / median(rows, 'floor', 1):.2f}x")
    print(f"load average at the end: {os.getloadavg()[0]:.2f} on {os.cpu_count()} CPUs")
    if len(row_counts) > 1:
        small, large = row_counts[0], row_counts[-1]
        ratio = median(large, "kslagent", 2) / median(small, "kslagent", 2)
        print(f"kslagent peak memory at {large} rows / at {small} rows = {ratio:.2f} "
              f"(target <= 1.10)")


if __name__ == "__main__":
    main()

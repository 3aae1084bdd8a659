#!/usr/bin/env python3
"""ravlog's HTML report of the demo day and pondrel's of a year in a real
browser.

  html_report_test.py BUILD_DIR SHOTS_DIR

Writes the demo node's histories (histgen node, seed 2718, seven days to
yesterday, as the demo does), runs ravlog -d-1 over examples/ravlog.ctl
with its JSON and its HTML report, and opens the page with html_check.py,
which must find as many rendered <svg> elements as the report model
says: the busy charts the JSON names for each line, plus one timeline per
links and group row, under 256 KB. Then pondrel's page of a node of 365 days, whose
JSON must have as many "days": its two day charts and one small chart per
links and group row, under 300 KB. The screenshots go to SHOTS_DIR (the
year's to SHOTS_DIR/pondrel-year). The exit status is html_check.py's
(the first failure's): 77 (skipped) when no browser is found.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))


def main():
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    build, shots = (os.path.abspath(a) for a in sys.argv[1:])
    with tempfile.TemporaryDirectory() as work:
        subprocess.run([os.path.join(build, "tools", "histgen"), "node", "--dir", work,
                        "--days", "7", "--seed", "2718"], check=True, capture_output=True)
        shutil.copy(os.path.join(ROOT, "examples", "ravlog.ctl"), work)
        subprocess.run([os.path.join(build, "ravlog", "ravlog"), "-d-1", "-jday.json",
                        "-wday.html"], cwd=work, check=True, capture_output=True)
        with open(os.path.join(work, "day.json"), encoding="utf-8") as f:
            report = json.load(f)
        charts = sum(len(line["charts"]) for line in report["lines"])
        expected = charts + len(report["links"]) + len(report["groups"])
        size = os.path.getsize(os.path.join(work, "day.html"))
        if size >= 256 * 1024:
            print(f"FAIL ravlog-day: a page of {size} bytes (under 256 KB expected)")
            return 1
        print(f"ravlog's day: a page of {size} bytes; expecting {expected} svg: {charts} busy "
              f"charts, {len(report['links'])} links and {len(report['groups'])} group timelines")
        status = browse(os.path.join(work, "day.html"), expected, shots)
        return status or pondrel_year(build, work, os.path.join(shots, "pondrel-year"))


def browse(page, svg_count, shots):
    sys.stdout.flush()
    return subprocess.run([sys.executable, os.path.join(HERE, "html_check.py"), "--html", page,
                           "--svg-count", str(svg_count), "--screenshots", shots]).returncode


def pondrel_year(build, work, shots):
    year = os.path.join(work, "year")
    os.mkdir(year)
    subprocess.run([os.path.join(build, "tools", "histgen"), "node", "--dir", year, "--days",
                    "365", "--seed", "2718", "--end", "2024-06-30"], check=True,
                   capture_output=True)
    shutil.copy(os.path.join(ROOT, "examples", "ravlog.ctl"), year)
    pondrel = os.path.join(build, "pondrel", "pondrel")
    for form in ("json", "html"):
        subprocess.run([pondrel, "-f" + form, "-oyear." + form], cwd=year, check=True,
                       capture_output=True, env={"TZ": "UTC"})
    with open(os.path.join(year, "year.json"), encoding="utf-8") as f:
        report = json.load(f)
    size = os.path.getsize(os.path.join(year, "year.html"))
    if len(report["days"]) != 365 or size >= 300 * 1024:
        print(f"FAIL pondrel-year: {len(report['days'])} days, a page of {size} bytes "
              f"(365 days under 300 KB expected)")
        return 1
    expected = 2 + len(report["links"]) + len(report["groups"])
    print(f"pondrel's year: a page of {size} bytes; expecting {expected} svg: 2 day charts, "
          f"{len(report['links'])} links and {len(report['groups'])} group rows")
    return browse(os.path.join(year, "year.html"), expected, shots)


if __name__ == "__main__":
    sys.exit(main())

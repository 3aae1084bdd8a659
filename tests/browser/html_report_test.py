#!/usr/bin/env python3
"""ravlog's HTML report of the demo day in a real browser.

  html_report_test.py BUILD_DIR SHOTS_DIR

Writes the demo node's histories (histgen node, seed 2718, seven days to
yesterday, as the demo does), runs ravlog -d-1 over examples/ravlog.ctl
with its JSON and its HTML report, and opens the page with html_check.py,
which must find as many rendered <svg> elements as the report model
says: the busy charts the JSON names for each line, plus one timeline per
links and group row. The screenshots go to SHOTS_DIR. The exit status is
html_check.py's: 77 (skipped) when no browser is found.
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
        print(f"expecting {expected} svg: {charts} busy charts, {len(report['links'])} links "
              f"and {len(report['groups'])} group timelines")
        sys.stdout.flush()
        return subprocess.run([sys.executable, os.path.join(HERE, "html_check.py"), "--html",
                               os.path.join(work, "day.html"), "--svg-count", str(expected),
                               "--screenshots", shots]).returncode


if __name__ == "__main__":
    sys.exit(main())

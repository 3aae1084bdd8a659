#!/usr/bin/env python3
"""The browser check against small pages with one known fault each.

  html_check_test.py

Every page must fail exactly the checks named for it, for the stated
reason, and the sound page must pass with both screenshots saved. Exits 77
(skipped) when html_check.py finds no browser.
"""

import os
import struct
import subprocess
import sys
import tempfile
import time

HARNESS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "html_check.py")
HEAD = '<!doctype html><html lang="en"><head><meta charset="utf-8"><title>Report</title>'
CHART = '<svg width="300" height="60" viewBox="0 0 300 60"><rect width="8" height="40"/></svg>'

# Name, what goes into the head and the body, the charts the harness is
# told to expect, and every check that must fail with a part of its reason.
CASES = (
    ("sound", "", CHART + CHART + "<script>console.log('fine')</script>", 2, {}),
    ("image from the web", "", '<img src="http://example.invalid/chart.png">' + CHART, 1,
     {"requests": "http://example.invalid/chart.png", "console": "Failed to load resource"}),
    ("style sheet", '<link rel="stylesheet" href="report.css">', CHART, 1,
     {"requests": "report.css", "console": "Failed to load resource"}),
    ("console error", "", CHART + "<script>console.error('broken chart')</script>", 1,
     {"console": "console.error: broken chart"}),
    ("script exception", "", CHART + "<script>undefinedChart.draw()</script>", 1,
     {"console": "undefinedChart is not defined"}),
    ("too wide", "", CHART + "<pre>" + "2:5020/1042 " * 120 + "</pre>", 1,
     {"width-1280": "scrolls sideways at 1280x900", "width-390": "scrolls sideways at 390x844"}),
    ("wide for a phone", "", '<svg width="500" height="40"></svg>', 1,
     {"width-390": "scrolls sideways at 390x844"}),
    ("cut label", "", '<svg viewBox="0 0 300 60"><text x="4" y="30" text-anchor="end">100%</text></svg>', 1,
     {"labels-1280": "1 text sticking out of their chart at 1280x900: 100%",
      "labels-390": "at 390x844: 100%"}),
    ("svg count", "", CHART + "<svg><svg></svg></svg><template><svg></svg></template>", 4,
     {"svg-count": "3 svg elements, expected 4"}),
    ("small text", "", CHART + '<p style="font-size:8px">Rcvd</p>', 1,
     {"text-size-1280": "1 text under 11 px at 1280x900: 8.0 px 'Rcvd'", "text-size-390": "'Rcvd'"}),
    ("legend key apart", "", CHART + '<p><span class="k" style="display:inline-block;width:20px;'
     'height:9px"></span><span style="margin-left:60px">Busy</span></p>', 1,
     {"legend-1280": "1 key away from their names at 1280x900: 'Busy' (60 px)", "legend-390": "'Busy'"}),
    ("hidden column", "", CHART + '<div style="overflow-x:auto"><table><tr><td style="min-width:'
     '600px">2:5020/1042</td><td>CPS</td></tr></table></div>', 1,
     {"tables-390": "px shown, hiding 2:5020/1042, CPS"}),
    ("mixed units", "", CHART + "<table><tr><td>2:5020/1042</td><td>131242</td></tr>"
     "<tr><td>2:5030/*</td><td>4.2M</td></tr></table>", 1,
     {"units": "table 1 column 2: 131242 beside 4.2M"}),
    ("axis steps", "", '<div class="pl"><div class="ya"><span>173</span><span>0</span></div>' + CHART
     + '<div class="xa" style="position:relative"><span style="position:absolute;left:10%">06-01'
     '</span><span style="position:absolute;left:11%">06-20</span></div></div>', 1,
     {"axes-1280": "chart 1: labels overlap at 06-20; chart 1: values 173 0; chart 1: labels "
      "06-01 06-20", "axes-390": "chart 1: labels overlap at 06-20"}),
)


def png_size(path):
    with open(path, "rb") as png:
        head = png.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n", "%s is no PNG" % path
    return struct.unpack(">II", head[16:24])


def run(work, *args):
    done = subprocess.run([sys.executable, HARNESS, "--screenshots", work, *args],
                          capture_output=True, text=True, timeout=120)
    return done.returncode, done.stdout + done.stderr


def check_case(work, name, head, body, svg_count, expected):
    page = os.path.join(work, "page.html")
    with open(page, "w") as out:
        out.write(HEAD + head + "</head><body>" + body + "</body></html>")
    status, output = run(work, "--html", page, "--svg-count", str(svg_count))
    if status == 77:
        return status, [output.strip()]
    failed = {line.split(":")[0][5:]: line for line in output.splitlines() if line.startswith("FAIL ")}
    faults = []
    if status != (1 if expected else 0):
        faults.append("exit status %d" % status)
    if set(failed) != set(expected):
        faults.append("failed checks %s, expected %s" % (sorted(failed), sorted(expected)))
    faults += ["%s does not say %r" % (check, reason)
               for check, reason in expected.items() if reason not in failed.get(check, reason)]
    if not expected:
        for shot, size in (("html-1280.png", 1280), ("html-390.png", 390)):
            width = png_size(os.path.join(work, shot))[0]
            if width != size:
                faults.append("%s is %d pixels wide" % (shot, width))
    return status, ["%s: %s\n%s" % (name, fault, output) for fault in faults]


def check_hung_browser(work):
    """A browser that never answers is given up after the timeout."""
    hung = os.path.join(work, "hung-browser")
    with open(hung, "w") as script:
        script.write("#!/bin/sh\nexec sleep 300\n")
    os.chmod(hung, 0o755)
    started = time.monotonic()
    status, output = run(work, "--html", HARNESS, "--svg-count", "0", "--browser", hung, "--timeout", "2")
    if status != 1 or "timed out" not in output or time.monotonic() - started > 30:
        return ["hung browser: status %d\n%s" % (status, output)]
    return []


def main():
    faults = []
    with tempfile.TemporaryDirectory() as work:
        for case in CASES:
            status, case_faults = check_case(work, *case)
            if status == 77:
                print(*case_faults, file=sys.stderr)
                return 77
            print("%-20s %s" % (case[0], "FAILED" if case_faults else "as expected"))
            faults += case_faults
        faults += check_hung_browser(work)
    for fault in faults:
        print(fault, file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Opens an HTML report in headless Chromium and checks what a reader gets.

  html_check.py --html FILE --svg-count N --screenshots DIR
                [--browser PATH] [--timeout S]

The page is opened from file:// and must load without console errors or
script exceptions, without a single request besides the document itself,
hold exactly N rendered <svg> elements (nested ones count, those in a
<template> do not), and in a window 1280 and 390 CSS pixels wide: neither
scroll sideways nor cut an <svg>'s text at its left or right edge, show
no text smaller than 11 CSS pixels, keep every legend key (.k) beside its
name, hide no part of a table in a box that scrolls, and label its chart
axes (.pl: values .ya, dates or hours .xa) in steps a person would choose
(1, 2 or 5 times a power of ten; whole hours; days, weeks or months)
without one label overlapping the next. At 1280, no table column mixes
traffic forms (bytes beside M). Screenshots go to
DIR/html-1280.png (the whole page, at most 4000 pixels high) and
DIR/html-390.png (the first screen).

The browser is driven over its DevTools protocol on a pipe (fds 3 and 4),
so nothing listens on a port. Prints one line per check. Exit status:
0 every check passed, 1 a check failed, 77 no browser was found (the test
is then skipped), 2 a wrong command line.

Only Python's standard library is used.
"""

import argparse
import base64
import fcntl
import json
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

EXIT_PASS, EXIT_FAIL, EXIT_NO_BROWSER = 0, 1, 77
BROWSER_NAMES = ("chromium-headless-shell", "chromium", "google-chrome", "chrome-headless-shell")
# The two windows the layout must fit: a desktop and a phone.
WINDOWS = ((1280, 900), (390, 844))
SCREENSHOT_MAX_HEIGHT = 4000


class CheckFailed(Exception):
    """The page or the browser could not be checked at all."""


def find_browser(given):
    if given:
        if os.access(given, os.X_OK) and os.path.isfile(given):
            return given
        return shutil.which(given)
    for name in BROWSER_NAMES:
        path = shutil.which(name)
        if path:
            return path
    return None


def browser_command(browser, profile):
    command = [
        browser,
        "--remote-debugging-pipe",
        "--user-data-dir=" + profile,
        # CI containers give /dev/shm a few megabytes: use /tmp instead.
        "--disable-dev-shm-usage",
        "--disable-gpu",
        "--no-first-run",
        "--no-default-browser-check",
        "--disable-background-networking",
        "--disable-component-update",
        "--disable-sync",
        "--disable-extensions",
        "--mute-audio",
        "--hide-scrollbars",
        # Whatever the page asks for, no name resolves: a forbidden request
        # fails at once instead of reaching the network or waiting on it.
        "--host-resolver-rules=MAP * ~NOTFOUND",
        "about:blank",
    ]
    # Chromium proper needs to be told; the headless shell is nothing else.
    if "headless-shell" not in os.path.basename(browser):
        command.insert(1, "--headless")
    # Chromium's sandbox refuses to run as root.
    if os.geteuid() == 0:
        command.insert(1, "--no-sandbox")
    return command


class Browser:
    """One browser process and the DevTools session with one page of it."""

    def __init__(self, executable, workdir, deadline):
        self.deadline = deadline
        self.next_id = 0
        self.events = []
        self.buffer = b""
        self.log_path = os.path.join(workdir, "browser.log")
        to_browser_r, self.to_browser = os.pipe()
        self.from_browser, from_browser_w = os.pipe()
        # The browser reads commands on fd 3 and writes replies on fd 4: the
        # ends are moved out of the way first so that the dup2 calls below
        # cannot overwrite one another.
        child_in = fcntl.fcntl(to_browser_r, fcntl.F_DUPFD_CLOEXEC, 10)
        child_out = fcntl.fcntl(from_browser_w, fcntl.F_DUPFD_CLOEXEC, 10)
        os.close(to_browser_r)
        os.close(from_browser_w)

        def give_pipe():
            os.dup2(child_in, 3)
            os.dup2(child_out, 4)

        with open(self.log_path, "wb") as log:
            self.process = subprocess.Popen(
                browser_command(executable, os.path.join(workdir, "profile")),
                stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                pass_fds=(3, 4), preexec_fn=give_pipe, start_new_session=True)
        os.close(child_in)
        os.close(child_out)
        self.session = None

    def log_tail(self):
        try:
            with open(self.log_path, "rb") as log:
                lines = log.read().decode("utf-8", "replace").splitlines()
        except OSError:
            return ""
        return "\n".join("  browser: " + line for line in lines[-8:])

    def _read_message(self):
        while b"\0" not in self.buffer:
            left = self.deadline - time.monotonic()
            if left <= 0:
                raise CheckFailed("timed out waiting for the browser")
            ready, _, _ = select.select([self.from_browser], [], [], left)
            if not ready:
                continue
            chunk = os.read(self.from_browser, 1 << 16)
            if not chunk:
                raise CheckFailed("the browser exited\n" + self.log_tail())
            self.buffer += chunk
        message, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(message)

    def call(self, method, params=None):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if self.session:
            message["sessionId"] = self.session
        data = json.dumps(message).encode() + b"\0"
        while data:
            data = data[os.write(self.to_browser, data):]
        while True:
            reply = self._read_message()
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise CheckFailed("%s: %s" % (method, reply["error"].get("message")))
                return reply.get("result", {})
            if "method" in reply:
                self.events.append(reply)

    def wait_for(self, method):
        """Waits for the event METHOD, keeping every event seen meanwhile."""
        for event in self.events:
            if event["method"] == method:
                return event
        while True:
            event = self._read_message()
            if "method" in event:
                self.events.append(event)
                if event["method"] == method:
                    return event

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", {
            "expression": expression, "awaitPromise": True, "returnByValue": True})
        if "exceptionDetails" in result:
            raise CheckFailed("cannot evaluate %s: %s" % (
                expression, result["exceptionDetails"].get("text")))
        return result["result"].get("value")

    def open_page(self):
        target = self.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.session = self.call("Target.attachToTarget", {
            "targetId": target, "flatten": True})["sessionId"]
        for domain in ("Page", "Runtime", "Log", "Network"):
            self.call(domain + ".enable")

    def close(self):
        """Kills the browser and every process it started."""
        try:
            os.killpg(self.process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        self.process.wait()
        os.close(self.to_browser)
        os.close(self.from_browser)


# ---- the checks ------------------------------------------------------------

# Waits until layout has settled after a load or a resize: two frames.
SETTLE = "new Promise(r => requestAnimationFrame(() => requestAnimationFrame(() => r(true))))"
# Every svg element of the document as rendered (not those in a template).
COUNT_SVG = "document.querySelectorAll('svg').length"
WIDTHS = ("({scroll: document.documentElement.scrollWidth,"
          " client: document.documentElement.clientWidth, inner: window.innerWidth})")
# The texts of svg elements that stick out of their svg sideways, where the
# svg cuts them off (a text's box is its glyphs' width, but the font's whole
# height, so only the sides are told).
CUT_TEXTS = ("[...document.querySelectorAll('svg text')].filter(t => {"
             " const s = t.ownerSVGElement.getBoundingClientRect(), r = t.getBoundingClientRect();"
             " return r.left < s.left - 0.5 || r.right > s.right + 0.5; }).map(t => t.textContent)")


# What the layout checks judge, read off the page as it is laid out now:
# every visible text smaller than MIN_TEXT_PX (rendered, an SVG's scale
# included), each legend key's distance to its name, every box that
# scrolls sideways with the table cells it hides, each table's cell texts
# by column, and each chart frame's axis labels.
MIN_TEXT_PX = 11
PAGE_FACTS = """(() => {
 const shown = e => { const r = e.getBoundingClientRect(); return r.width > 0 && r.height > 0; };
 const small = [], walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
 for (let n; (n = walker.nextNode());) {
  const e = n.parentElement;
  if (!n.textContent.trim() || e.closest('title,style,script') || !shown(e)) continue;
  let size = parseFloat(getComputedStyle(e).fontSize);
  if (e instanceof SVGElement) { const m = e.getScreenCTM(); size *= Math.sqrt(Math.abs(m.a * m.d - m.b * m.c)); }
  if (size < %(min)s) small.push([Math.round(size * 10) / 10, n.textContent.trim().slice(0, 20)]);
 }
 const keys = [...document.querySelectorAll('.k')].filter(shown).map(k => {
  const next = k.nextSibling, r = k.getBoundingClientRect();
  if (!next) return {name: '', gap: 0, line: true};
  const range = document.createRange(); range.selectNodeContents(next);
  const t = range.getClientRects()[0] || r;
  return {name: next.textContent.trim().slice(0, 30), gap: Math.round(t.left - r.right),
          line: t.top < r.bottom && t.bottom > r.top};
 });
 const boxes = [...document.querySelectorAll('*')].filter(e => e.scrollWidth > e.clientWidth + 1
   && ['auto', 'scroll'].includes(getComputedStyle(e).overflowX)).map(e => {
  const r = e.getBoundingClientRect();
  const hidden = [...e.querySelectorAll('th,td')].filter(c => { const q = c.getBoundingClientRect();
    return q.right > r.right + 1 || q.left < r.left - 1; }).map(c => c.textContent.trim());
  return {shown: e.clientWidth, wide: e.scrollWidth, hidden: [...new Set(hidden)].slice(0, 6)};
 });
 const tables = [...document.querySelectorAll('table')].map(t => {
  const columns = [];
  for (const row of t.querySelectorAll('tr')) [...row.cells].forEach((c, i) => {
   if (c.tagName == 'TD') (columns[i] = columns[i] || []).push(c.textContent.trim()); });
  return columns;
 });
 const axes = [...document.querySelectorAll('.pl')].map(p => ({
  values: [...p.querySelectorAll('.ya span')].map(s => s.textContent),
  marks: [...p.querySelectorAll('.xa span')].map(s => { const r = s.getBoundingClientRect();
   return {text: s.textContent, left: r.left, right: r.right}; })}));
 return {small, keys, boxes, tables, axes};
})()""" % {"min": MIN_TEXT_PX}

MONTHS = ("Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec")


def traffic_form(text):
    """bytes, M (tenths), or a whole unit; None for what is no traffic figure."""
    if text.isdigit():
        return "bytes"
    if len(text) > 1 and text[-1] in "MGTP" and text[:-1].replace(".", "", 1).isdigit():
        return "tenths of M" if "." in text else "whole " + text[-1]
    return None


def mixed_columns(tables):
    """The columns that hold traffic figures in more than one form."""
    faults = []
    for t, columns in enumerate(tables, 1):
        for c, cells in enumerate(columns, 1):
            forms = {}
            for cell in cells:
                forms.setdefault(traffic_form(cell), cell)
            forms.pop(None, None)
            if len(forms) > 1:
                faults.append("table %d column %d: %s" % (t, c, " beside ".join(forms.values())))
    return faults


def nice_step(step):
    """1, 2 or 5 times a power of ten."""
    while step >= 10 and step % 10 == 0:
        step //= 10
    return step in (1, 2, 5)


def value_axis_fault(labels):
    """Why the value labels (top down, "600M" ... "0") are no even nice steps."""
    numbers = []
    for label in labels:
        digits = label.rstrip("%MG")
        if not digits.replace(".", "", 1).isdigit():
            return "%r is no value" % label
        numbers.append(round(float(digits) * 10))  # tenths: a step may be 0.5
    steps = {a - b for a, b in zip(numbers, numbers[1:])}
    if len(labels) < 2 or numbers[-1] != 0 or len(steps) != 1 or not nice_step(steps.pop()):
        return "values %s" % " ".join(labels)
    return None


def date_axis_fault(texts):
    """Why the labels under a chart are no steps of whole hours, days, weeks or months."""
    if all(t.isdigit() and len(t) <= 2 for t in texts):
        hours = [int(t) for t in texts]
        steps = {(b - a) % 24 or 24 for a, b in zip(hours, hours[1:])}
    elif all(t in MONTHS or (t.isdigit() and len(t) == 4) for t in texts):
        months = [MONTHS.index(t) if t in MONTHS else 0 for t in texts]
        steps = {(b - a) % 12 or 12 for a, b in zip(months, months[1:])}
        if steps - {1, 2, 3, 6, 12}:
            steps = {0}
    elif all(len(t) == 5 and t[2] == "-" for t in texts):
        days = [time.strptime("2001-" + t, "%Y-%m-%d").tm_yday for t in texts]
        steps = {(b - a) % 365 for a, b in zip(days, days[1:])}
        if steps - {1, 2, 7, 14}:
            steps = {0}
    else:
        return "labels %s" % " ".join(texts)
    return "labels %s" % " ".join(texts) if len(steps) > 1 or 0 in steps else None


def axis_faults(axes, judge_steps):
    faults = []
    for a, axis in enumerate(axes, 1):
        marks = axis["marks"]
        overlap = [b["text"] for a_, b in zip(marks, marks[1:]) if a_["right"] > b["left"] + 0.5]
        if overlap:
            faults.append("chart %d: labels overlap at %s" % (a, ", ".join(overlap)))
        if not judge_steps:
            continue
        for fault in (value_axis_fault(axis["values"]) if axis["values"] else None,
                      date_axis_fault([m["text"] for m in marks]) if len(marks) > 1 else None):
            if fault:
                faults.append("chart %d: %s" % (a, fault))
    return faults


def check_layout(browser, report, width, height):
    facts = browser.evaluate(PAGE_FACTS)
    at = "at %dx%d" % (width, height)
    small = facts["small"]
    report.check("text-size-%d" % width, small and "%s under %d px %s: %s" % (
        counted(len(small), "text"), MIN_TEXT_PX, at,
        ", ".join("%.1f px %r" % tuple(s) for s in small[:5])),
        "no text under %d px %s" % (MIN_TEXT_PX, at))
    apart = [k for k in facts["keys"] if not k["line"] or not 0 <= k["gap"] <= 16]
    report.check("legend-%d" % width, apart and "%s away from their names %s: %s" % (
        counted(len(apart), "key"), at, ", ".join(
            "%r (%s)" % (k["name"], "%d px" % k["gap"] if k["line"] else "another line")
            for k in apart)), "%s beside their names %s" % (counted(len(facts["keys"]), "key"), at))
    boxes = facts["boxes"]
    report.check("tables-%d" % width, boxes and "%s scrolling sideways %s: %s" % (
        counted(len(boxes), "box"), at, "; ".join(
            "%d of %d px shown, hiding %s" % (b["shown"], b["wide"], ", ".join(b["hidden"]) or "no cell")
            for b in boxes)), "every table column in view %s" % at)
    if width == WINDOWS[0][0]:
        mixed = mixed_columns(facts["tables"])
        report.check("units", mixed and "; ".join(mixed),
                     "one traffic form per column in %s" % counted(len(facts["tables"]), "table"))
    faults = axis_faults(facts["axes"], width == WINDOWS[0][0])
    report.check("axes-%d" % width, faults and "; ".join(faults),
                 "%s labelled in sensible steps %s" % (counted(len(facts["axes"]), "chart"), at))


def counted(number, noun):
    return "%d %s%s" % (number, noun, "" if number == 1 else "es" if noun.endswith("x") else "s")


def clip(text, size=160):
    text = " ".join(str(text).split())
    return text if len(text) <= size else text[:size - 3] + "..."


def console_errors(events):
    """What the page reported as an error, one line each."""
    errors = []
    for event in events:
        method, params = event["method"], event.get("params", {})
        if method == "Runtime.consoleAPICalled" and params.get("type") in ("error", "assert"):
            words = [a.get("value", a.get("description", "")) for a in params.get("args", [])]
            errors.append("console.%s: %s" % (params["type"], clip(" ".join(map(str, words)))))
        elif method == "Runtime.exceptionThrown":
            details = params.get("exceptionDetails", {})
            text = details.get("exception", {}).get("description") or details.get("text", "")
            errors.append("script exception: " + clip(text))
        elif method == "Log.entryAdded" and params.get("entry", {}).get("level") == "error":
            entry = params["entry"]
            errors.append("%s error: %s" % (entry.get("source", "log"), clip(entry.get("text", ""))))
    return errors


def foreign_requests(events, url):
    """Every request but the one that fetched the document."""
    requests, document_seen = [], False
    for event in events:
        if event["method"] != "Network.requestWillBeSent":
            continue
        params = event["params"]
        request_url = params["request"]["url"]
        if not document_seen and params.get("type") == "Document" and request_url == url:
            document_seen = True
            continue
        requests.append(clip(request_url, 100))
    return requests


class Report:
    def __init__(self):
        self.failed = False

    def check(self, name, failure, passed):
        """Prints the outcome of check NAME; FAILURE is the reason or None."""
        if failure:
            self.failed = True
            print("FAIL %s: %s" % (name, failure))
        else:
            print("ok   %s: %s" % (name, passed))
        sys.stdout.flush()


def set_window(browser, width, height):
    browser.call("Emulation.setDeviceMetricsOverride", {
        "width": width, "height": height, "deviceScaleFactor": 1, "mobile": False})
    browser.evaluate(SETTLE)


def check_width(browser, report, width, height):
    set_window(browser, width, height)
    w = browser.evaluate(WIDTHS)
    too_wide = w["scroll"] > min(w["client"], w["inner"])
    report.check("width-%d" % width,
                 too_wide and "the page scrolls sideways at %dx%d: %d pixels wide in a %d-pixel window"
                 % (width, height, w["scroll"], min(w["client"], w["inner"])),
                 "no sideways scrolling at %dx%d" % (width, height))
    cut = browser.evaluate(CUT_TEXTS)
    report.check("labels-%d" % width,
                 cut and "%s sticking out of their chart at %dx%d: %s"
                 % (counted(len(cut), "text"), width, height, ", ".join(sorted(set(cut)))),
                 "every chart text whole at %dx%d" % (width, height))
    check_layout(browser, report, width, height)


def save_screenshot(browser, report, path, width, height, full_page):
    if full_page:
        content = browser.call("Page.getLayoutMetrics")["cssContentSize"]
        height = min(int(content["height"]) or height, SCREENSHOT_MAX_HEIGHT)
    shot = browser.call("Page.captureScreenshot", {
        "format": "png", "captureBeyondViewport": full_page,
        "clip": {"x": 0, "y": 0, "width": width, "height": height, "scale": 1}})
    Path(path).write_bytes(base64.b64decode(shot["data"]))
    report.check("screenshot-%d" % width, None, "%s (%dx%d)" % (path, width, height))


def run_checks(browser, report, url, svg_count, screenshots):
    browser.open_page()
    set_window(browser, *WINDOWS[0])
    browser.events.clear()  # about:blank's own
    navigation = browser.call("Page.navigate", {"url": url})
    if navigation.get("errorText"):
        report.check("loaded", "cannot open %s: %s" % (url, navigation["errorText"]), "")
        return
    browser.wait_for("Page.loadEventFired")
    browser.evaluate(SETTLE)
    report.check("loaded", None, url)

    count = browser.evaluate(COUNT_SVG)
    report.check("svg-count", count != svg_count and "%s, expected %d" % (counted(count, "svg element"), svg_count),
                 counted(count, "svg element"))

    for (width, height), name in zip(WINDOWS, ("html-1280.png", "html-390.png")):
        check_width(browser, report, width, height)
        save_screenshot(browser, report, os.path.join(screenshots, name), width, height,
                        full_page=width == WINDOWS[0][0])

    # Taken last, so that errors raised by resizing count too.
    errors = console_errors(browser.events)
    report.check("console", errors and "%s: %s" % (counted(len(errors), "error"), "; ".join(errors)),
                 "no console errors or exceptions")
    requests = foreign_requests(browser.events, url)
    report.check("requests", requests and "%s besides the document: %s"
                 % (counted(len(requests), "request"), ", ".join(requests)), "none besides the document")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--html", required=True, help="the HTML file to open")
    parser.add_argument("--svg-count", required=True, type=int, help="charts the page must hold")
    parser.add_argument("--screenshots", required=True, help="directory for the screenshots")
    parser.add_argument("--browser", help="the browser to run (default: the first found on PATH)")
    parser.add_argument("--timeout", type=float, default=60, help="seconds for the whole check")
    args = parser.parse_args()

    browser_path = find_browser(args.browser)
    if not browser_path:
        wanted = args.browser or ", ".join(BROWSER_NAMES)
        print("no browser found: %s; the browser check is skipped" % wanted, file=sys.stderr)
        return EXIT_NO_BROWSER
    html = Path(args.html)
    if not html.is_file():
        print("FAIL loaded: %s is no readable file" % html)
        return EXIT_FAIL
    os.makedirs(args.screenshots, exist_ok=True)

    # The deadline bounds every wait on the browser; the alarm is the last
    # resort should something else block.
    def out_of_time(*_):
        raise CheckFailed("the check took longer than %g seconds" % args.timeout)
    signal.signal(signal.SIGALRM, out_of_time)
    signal.alarm(int(args.timeout) + 5)

    report = Report()
    workdir = tempfile.mkdtemp(prefix="html_check.")
    browser = None
    try:
        browser = Browser(browser_path, workdir, time.monotonic() + args.timeout)
        run_checks(browser, report, html.resolve().as_uri(), args.svg_count, args.screenshots)
    except (CheckFailed, OSError) as failure:
        report.check("browser", "%s (%s)" % (failure, browser_path), "")
    finally:
        signal.alarm(0)
        if browser:
            browser.close()
        shutil.rmtree(workdir, ignore_errors=True)
    return EXIT_FAIL if report.failed else EXIT_PASS


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Opens an HTML report in headless Chromium and checks what a reader gets.

  html_check.py --html FILE --svg-count N --screenshots DIR
                [--browser PATH] [--timeout S]

The page is opened from file:// and must load without console errors or
script exceptions, without a single request besides the document itself,
hold exactly N rendered <svg> elements (nested ones count, those in a
<template> do not), and neither scroll sideways nor cut an <svg>'s text
at its left or right edge in a window 1280 and 390 CSS pixels wide. Screenshots go to
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


def counted(number, noun):
    return "%d %s%s" % (number, noun, "" if number == 1 else "s")


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

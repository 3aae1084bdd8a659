#!/usr/bin/env python3
"""The HTML reports read back by a strict reader and checked against the
JSON report of the same run.

  check_html_report.py crosscheck BUILD_DIR
  check_html_report.py hostile BUILD_DIR

crosscheck: over node histories that histgen writes (two seeds, two time
zones, windows of 24, 8, 3, 2 and 1 hours, one across midnight), ravlog's page
is well-formed strict UTF-8 that fetches nothing; it holds one <svg> per
busy chart that the JSON names for a line plus one per links and group
row, and a legend of just the kinds of chart drawn; the Incoming and
Outgoing charts' captions give the share of the
line's time online that the JSON's times make; every bar chart has one bar per slot of the window, each with its
slot's span and value, drawn at the JSON's busy values; its hour axis
follows the window; the table cells and totals equal the JSON's figures
in the text's form, with the exact count in the tooltip of a rounded
cell. pondrel's page holds the rows of its JSON report and, over several
days, a bar for each day's figures. The demo day's
page stays under 300 KB.

hostile: names, labels and paths with markup, quotes, controls and broken
UTF-8 show as text on a page that is still strict UTF-8.
"""
import datetime
import html.parser
import json
import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_data_reports as data  # noqa: E402  (the shared runner and text forms)

check = data.check
VOID = {"meta", "br"}  # elements written without an end tag


class Page(html.parser.HTMLParser):
    """The page as a list of elements (tag, attributes, text, children)."""

    def __init__(self, where):
        super().__init__(convert_charrefs=True)
        self.where = where
        self.root = {"tag": "", "attrs": {}, "text": "", "children": []}
        self.stack = [self.root]

    def handle_starttag(self, tag, attrs):
        node = {"tag": tag, "attrs": dict(attrs), "text": "", "children": []}
        self.stack[-1]["children"].append(node)
        if tag not in VOID:
            self.stack.append(node)

    def handle_startendtag(self, tag, attrs):
        self.stack[-1]["children"].append({"tag": tag, "attrs": dict(attrs), "text": "",
                                           "children": []})

    def handle_endtag(self, tag):
        if tag in VOID and self.stack[-1]["tag"] != tag:
            return
        check(self.stack[-1]["tag"] == tag,
              f"{self.where}: </{tag}> closes <{self.stack[-1]['tag']}>")
        if len(self.stack) > 1:
            self.stack.pop()

    def handle_data(self, text):
        for node in self.stack:
            node["text"] += text


def parse(raw, where):
    text = raw.decode("utf-8")  # strictly: a broken byte fails the test here
    check(not re.search(r"[\x00-\x08\x0b-\x1f\x7f-\x9f]", text), f"{where}: a control character")
    check(not re.search(r"(src|href)=|url\(|@import|<script|<link", text),
          f"{where}: something to fetch or run")
    page = Page(where)
    page.feed(text)
    page.close()
    check(len(page.stack) == 1, f"{where}: unclosed {[n['tag'] for n in page.stack[1:]]}")
    return page.root


def find(node, tag, cls=None):
    for child in node["children"]:
        if child["tag"] == tag and (cls is None or cls in child["attrs"].get("class", "").split()):
            yield child
        yield from find(child, tag, cls)


def cells(row):
    return [c for c in row["children"] if c["tag"] in ("td", "th")]


def column_traffic(n, largest):
    """A traffic cell as the page shows it: in the text's form of its column's largest."""
    if largest < 1000000:
        return str(n)
    if largest < 1048576000:
        return f"{n >> 20}.{((n & 0xFFFFF) * 10) >> 20}M"
    unit = data.traffic(largest).strip()[-1]
    return f"{n >> (20 + 10 * 'MGTP'.index(unit))}{unit}"


def check_cell(where, cell, value, shown):
    """A counter's cell: the text's form, the exact value where that is rounded."""
    check(cell["text"] == shown.strip(), f"{where}: '{cell['text']}' for {value}")
    if shown.strip()[-1:] in ("M", "G", "T", "P"):
        check(cell["attrs"].get("title", "").split(" ")[0] == str(value),
              f"{where}: tooltip '{cell['attrs'].get('title')}' for {value}")


def check_table(where, table, rows, timelines):
    """timelines: each row ends with its time online over the window (ravlog's tables)."""
    labels = any(figures["label"] for figures in rows)  # the Label column, where a row has one
    body = [r for r in find(table, "tr") if r["children"] and r["children"][0]["tag"] == "td"]
    check(len(body) == len(rows), f"{where}: {len(body)} rows for {len(rows)}")
    for row, figures in zip(body, rows):
        tds = cells(row)
        if tds[0]["text"] in ("", "P") and len(tds) > 11:
            check(tds[0]["text"] == ("P" if figures["protected"] else ""), f"{where}: P mark")
            tds = tds[1:]  # the P column
        check(tds[0]["text"] == figures["address"], f"{where}: {tds[0]['text']}")
        if labels:
            check(tds[1]["text"] == (figures["label"] or ""), f"{where}: label {tds[1]['text']}")
        rest = tds[2:] if labels else tds[1:]
        for cell, key in zip(rest[:4], ["sessions_in", "time_in", "sessions_out", "time_out"]):
            sessions = figures[key.replace("time", "sessions")]
            shown = ("-" if key.startswith("s") else "-:--:--") if sessions == 0 else \
                str(figures[key]) if key.startswith("s") else data.hms(figures[key])
            check(cell["text"] == shown, f"{where} {figures['address']} {key}: {cell['text']}")
        check(rest[4]["text"] == data.hms(figures["time_online"]), f"{where}: time online")
        for cell, key in zip(rest[5:8], ["received", "sent", "cps"]):
            largest = max(f[key] for f in rows)
            check_cell(f"{where} {figures['address']} {key}", cell, figures[key],
                       column_traffic(figures[key], largest))
        drawn = list(find(row, "svg", "t"))
        check(len(drawn) == (1 if timelines else 0), f"{where}: timelines")


def check_totals(where, page, totals):
    table = list(find(page, "table"))[-1]
    shown = {}
    for row in find(table, "tr"):
        tds = cells(row)
        for label, cell in zip(tds[0::2], tds[1::2]):
            shown.setdefault(label["text"], cell)
    for label, key in (("Received", "received"), ("Sent", "sent"), ("Traffic", "traffic")):
        check_cell(f"{where} {label}", shown[label], totals[key],
                   column_traffic(totals[key], totals["traffic"]))
    for label, key in (("Sessions in", "sessions_in"), ("Sessions out", "sessions_out"),
                       ("Sessions", "sessions")):
        check(shown[label]["text"] == str(totals[key]), f"{where}: {label}")
    for label, key in (("Time in", "time_in"), ("Time out", "time_out"),
                       ("Time online", "time_online")):
        check(shown[label]["text"] == data.hms(totals[key]), f"{where}: {label}")


def percent(part, whole):
    """A share as the charts print it, to a tenth of a percent."""
    if whole == 0 or part == 0:
        return "0%"
    if part >= whole:
        return "100%"
    permille = part * 1000 // whole
    return f"{permille // 10}.{permille % 10}%" if permille else "0%"


SPAN = re.compile(r"^(\d\d):(\d\d)(?::(\d\d))?–(\d\d):(\d\d)(?::(\d\d))? (\d+)% \((\d+) s\)$")


def seconds_of(h, m, s):
    return int(h) * 3600 + int(m) * 60 + int(s or 0)


def check_chart(where, figure, values, slot, start_hour, hours):
    svg = next(find(figure, "svg"))
    bars = [p for g in find(svg, "g") for p in find(g, "path")]
    check(len(bars) == 96, f"{where}: {len(bars)} bars")
    labels = [int(t["text"]) for axis in find(figure, "div", "xa") for t in find(axis, "span")]
    check(labels == hours, f"{where}: hour axis {labels}, expected {hours}")
    starts = data.slot_starts(slot)
    for i, bar in enumerate(bars):
        title = next(find(bar, "title"), {"text": ""})["text"]
        m = SPAN.match(title)
        check(m is not None, f"{where} bar {i}: title '{title}'")
        if not m:
            continue
        at, length = start_hour * 3600 + starts[i], starts[i + 1] - starts[i]
        begin, end = seconds_of(*m.group(1, 2, 3)), seconds_of(*m.group(4, 5, 6))
        check(begin == at % 86400 and (end - begin) % 86400 == length,
              f"{where} bar {i}: '{title}' is not the slot at {at % 86400} s")
        percent, value = int(m.group(7)), int(m.group(8))
        d = re.match(r"M(\d+) 100(?:V(\d+))?$", bar["attrs"]["d"])
        check(d and int(d.group(1)) == 6 * i + 3 and 100 - int(d.group(2) or 100) == min(percent, 100),
              f"{where} bar {i}: drawn as {bar['attrs']['d']} for {percent}%")
        if values is not None:
            expected = 1 if 0 < values[i] * 100 < length else values[i] * 100 // length
            check(value == values[i] and percent == expected,
                  f"{where} bar {i}: {value} s, {percent}% for the JSON's {values[i]} s")


LEGEND = {"k": "busy", "k i": "incoming", "k o": "outgoing", "k p": "protected",
          "k u": "unprotected"}
# window option, first hour of the axis, its hour labels
WINDOWS = [
    ([], 0, list(range(0, 25, 2))),
    (["-t22-6"], 22, [22, 23, 0, 1, 2, 3, 4, 5, 6]),
    (["-t6:00-9:00"], 6, [6, 7, 8, 9]),
    (["-t10:30-11:15"], 10, [10, 11, 12]),
    (["-t10-11"], 10, [10, 11]),
]


def check_ravlog(work, tag, args, zone, start_hour, hours):
    data.run("ravlog", args + ["-jh.json", "-wh.html"], work, zone)
    report = data.strict_json(data.read(os.path.join(work, "h.json")), tag)
    raw = data.read(os.path.join(work, "h.html"))
    page = parse(raw, tag)
    charts = sum(len(line["charts"]) for line in report["lines"])
    svgs = list(find(page, "svg"))
    check(len(svgs) == charts + len(report["links"]) + len(report["groups"]),
          f"{tag}: {len(svgs)} svg for {charts} charts, {len(report['links'])} links and "
          f"{len(report['groups'])} groups")
    # The legend keys exactly the kinds of chart drawn, in their order.
    drawn = {kind for line in report["lines"] for kind in line["charts"]}
    keys = [LEGEND[k["attrs"]["class"]] for p in find(page, "p", "m") if "Bars:" in p["text"]
            for k in find(p, "span", "k")]
    check(keys == [k for k in LEGEND.values() if k in drawn], f"{tag}: legend {keys} for {drawn}")
    sections = list(find(page, "section"))
    read_sections = [s for s in sections if list(find(s, "table"))]
    check(len(read_sections) == len(report["lines"]), f"{tag}: {len(read_sections)} lines")
    for number, (section, line) in enumerate(zip(read_sections, report["lines"]), start=1):
        where = f"{tag} {line['name']}"
        heading = next(find(section, "h2"))["text"]
        check(line["name"] is None or heading == line["name"], f"{where}: heading {heading}")
        figures = list(find(section, "figure"))
        shares = [next(find(f, "span", "m"))["text"] for f in figures]
        kinds = [next(find(f, "figcaption"))["text"][:-len(share)].lower()
                 for f, share in zip(figures, shares)]
        check(kinds == line["charts"], f"{where}: charts {kinds}, the JSON's {line['charts']}")
        busy, slot = line["busy"], line["busy"]["slot_seconds"]
        t = line["totals"]
        for kind, share in zip(kinds, shares):
            if kind in ("incoming", "outgoing"):
                time = t["time_in" if kind == "incoming" else "time_out"]
                expected = f"{percent(time, t['time_online'])} of the time online"
                check(share == expected, f"{where} {kind}: '{share}', expected '{expected}'")
        for kind, figure in zip(kinds, figures):
            # A BinkD line's charts are per channel; their values are checked
            # against the text by the data reports' test.
            values = None if line["type"] == 3 else \
                {"busy": busy["all"], "incoming": busy["incoming"],
                 "outgoing": busy["outgoing"]}.get(kind)
            check_chart(f"{where} {kind}", figure, values, slot, start_hour, hours)
        row = [r for r in find(section, "tr") if cells(r)[0]["tag"] == "td"][0]
        shown = [c["text"] for c in cells(row)]
        expected = [str(t["sessions"]), str(t["sessions_in"]), str(t["sessions_out"]),
                    data.hms(t["time_online"]), data.hms(t["time_in"]), data.hms(t["time_out"]),
                    data.traffic(t["received"]).strip(), data.traffic(t["sent"]).strip(),
                    data.traffic(t["cps"]).strip()]  # each its own column's largest
        check(shown == expected, f"{where}: totals {shown}, expected {expected}")
    # After the lines' tables: the links table, then the group table.
    after = list(find(page, "table"))[len(read_sections):]
    check(len(after) == (3 if report["groups"] else 2), f"{tag}: {len(after)} tables after the lines")
    check_table(f"{tag} links", after[0], report["links"], True)
    if report["groups"]:
        check_table(f"{tag} groups", after[1], report["groups"], True)
    check_totals(f"{tag} totals", page, report["totals"])
    return len(raw)


def check_pondrel(work, tag, zone):
    report = data.strict_json(data.run("pondrel", ["-fjson"], work, zone), tag)
    page = parse(data.run("pondrel", ["-fHTML"], work, zone), tag + " pondrel")
    # A period of two days or more: its days charted, every day's bars at
    # the JSON's figures, and one small chart per row.
    days = report["days"]
    charts = list(find(page, "svg", "d"))
    rows = len(report["links"]) + len(report["groups"])
    check(len(charts) == (2 if len(days) > 1 else 0), f"{tag}: pondrel's day charts")
    check(len(list(find(page, "svg", "s"))) == (rows if charts else 0),
          f"{tag}: pondrel's rows' charts")
    shown = {t["text"] for chart in charts for t in find(chart, "title")}
    drawn = {f"{d['date']}: {d[key]}{unit} {name}" for d in days
             for key, unit, name in (("sessions_in", "", "in"), ("sessions_out", "", "out"),
                                     ("received", " bytes", "received"),
                                     ("sent", " bytes", "sent")) if d[key]}
    check(shown == (drawn if charts else set()), f"{tag}: pondrel's day bars and JSON differ")
    tables = list(find(page, "table"))
    check_table(f"{tag} pondrel links", tables[0], report["links"], False)
    if report["groups"]:
        check_table(f"{tag} pondrel groups", tables[1], report["groups"], False)
    check_totals(f"{tag} pondrel totals", page, report["totals"])


def crosscheck():
    for seed, end in ((2718, "2024-03-05"), (7, "2024-10-27")):
        for zone in ("UTC", "CET-1CEST,M3.5.0,M10.5.0/3"):
            with tempfile.TemporaryDirectory() as work:
                subprocess.run([os.path.join(data.BUILD, "tools", "histgen"), "node", "--dir",
                                work, "--days", "4", "--seed", str(seed), "--end", end],
                               check=True, capture_output=True)
                with open(os.path.join(work, "ravlog.ctl"), "w") as f:
                    f.write(data.node_config())
                day = datetime.date.fromisoformat(end)
                for window, start_hour, hours in WINDOWS:
                    tag = f"seed {seed}, {zone}, {window or 'whole day'}"
                    check_ravlog(work, tag, [f"-d{day.day}.{day.month}.{day.year}"] + window,
                                 zone, start_hour, hours)
                check_pondrel(work, f"seed {seed}, {zone}", zone)
    # The demo's day: the shipped configuration over the demo's histories.
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    with tempfile.TemporaryDirectory() as work:
        subprocess.run([os.path.join(data.BUILD, "tools", "histgen"), "node", "--dir", work,
                        "--days", "7", "--seed", "2718"], check=True, capture_output=True)
        with open(os.path.join(root, "examples", "ravlog.ctl"), "rb") as f:
            config = f.read()
        with open(os.path.join(work, "ravlog.ctl"), "wb") as f:
            f.write(config)
        size = check_ravlog(work, "demo day", ["-d-1"], "UTC", 0, list(range(0, 25, 2)))
        check(size < 300 * 1024, f"the demo day's page has {size} bytes")
        print(f"demo day's page: {size} bytes")


HOSTILE_LABEL = b'<script>alert(1)</script>'


def hostile():
    with tempfile.TemporaryDirectory() as work:
        records = ("2:5020/1 2024-03-05T10:00:00 dur=60 rcvd=1000 sent=2000 flags=5\n"
                   "2:5020/2 2024-03-05T11:00:00 dur=0 flags=6\n")
        path = "<b>we'ird&amp.his"
        for name in (path, "plain.his"):
            subprocess.run([os.path.join(data.BUILD, "tools", "histgen"), "write", "--type", "2",
                            "--out", os.path.join(work, name)], input=records.encode(),
                           check=True, capture_output=True)
        config = (b"[COMMON]\nGroup Yes\nAddr 2:5020/1 \"" + HOSTILE_LABEL + b"\"\n"
                  b"Addr 2:5020/# \"</td></table>\"\n[LINE]\nHistory " + path.encode() +
                  b"\nName \"" + data.HOSTILE_NAME + b"\"\n[LINE]\nHistory plain.his\n"
                  b"Name \"<script>x</script>\xe2\x82\n")
        with open(os.path.join(work, "ravlog.ctl"), "wb") as f:
            f.write(config)
        data.run("ravlog", ["-d5.3.2024", "-wh.html"], work)
        page = parse(data.read(os.path.join(work, "h.html")), "hostile ravlog")
        headings = [h["text"] for h in find(page, "h2")]
        check(headings[1] == "<script>x</script>\ufffd\n", f"hostile headings {headings}")
        check(headings[0].startswith("tab\there cr\ufffd bell\ufffd"), f"hostile {headings[0]}")
        paths = [p["text"] for p in find(page, "p", "m") if p["text"].startswith("History")]
        check(paths[0] == f"History {path}, T-Mail's binary log (type 2)", f"hostile paths {paths}")
        # A label keeps its first 15 columns.
        check(not [p for p in find(page, "p", "m") if "Bars:" in p["text"]],
              "hostile: a legend without charts")
        text = "|".join(c["text"] for t in find(page, "table") for c in find(t, "td"))
        check("|<script>alert(1|" in text, f"hostile label not shown as text: {text}")
        check("|</td></table>|" in text, "hostile group label")
        parse(data.run("pondrel", ["-fhtml"], work), "hostile pondrel")
    result = subprocess.run([os.path.join(data.BUILD, "brimsel", "brimsel"), "-fhtml"],
                            capture_output=True)
    check(result.returncode == 255 and b"Unknown option or invalid value: -fhtml" in
          result.stdout + result.stderr, "brimsel takes no -fhtml")


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("crosscheck", "hostile"):
        raise SystemExit(__doc__)
    data.BUILD = os.path.abspath(sys.argv[2])
    {"crosscheck": crosscheck, "hostile": hostile}[sys.argv[1]]()
    for failure in data.failures[:40]:
        print("FAIL:", failure)
    print(f"{data.checks} checks, {len(data.failures)} failures")
    sys.exit(1 if data.failures else 0)


if __name__ == "__main__":
    main()

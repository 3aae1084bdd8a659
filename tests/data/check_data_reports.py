#!/usr/bin/env python3
"""The machine-readable reports checked with strict readers.

  check_data_reports.py crosscheck BUILD_DIR
  check_data_reports.py hostile BUILD_DIR

crosscheck: over node histories that histgen writes (several seeds, two
time zones, a whole day and a window across midnight), every figure of
ravlog's JSON report, of pondrel's JSON and CSV and of brimsel's JSON
Lines and CSV equals the cell that the text report shows for it, once
formatted the way the text formats it. The busy slots are drawn as the
text draws its charts and compared glyph by glyph. pondrel's rows carry
the labels of ravlog's.

hostile: line names and history paths with control characters, quotes,
backslashes, broken and valid UTF-8 give JSON that Python's json module
reads back (the broken bytes as U+FFFD) and CSV whose fields Python's csv
module reads back unchanged.
"""
import csv
import datetime
import fractions
import io
import json
import math
import os
import re
import subprocess
import sys
import tempfile

BUILD = ""
failures = []
checks = 0


def check(condition, what):
    global checks
    checks += 1
    if not condition:
        failures.append(what)


def run(program, args, cwd, zone="UTC"):
    result = subprocess.run([os.path.join(BUILD, program, program)] + args, cwd=cwd,
                            env={"TZ": zone}, capture_output=True)
    if result.returncode != 0:
        raise SystemExit(f"{program} {args} in {cwd} ended with {result.returncode}: "
                         f"{result.stderr.decode(errors='replace')}")
    return result.stdout


def read(path):
    with open(path, "rb") as f:
        return f.read()


def strict_json(data, what):
    """The bytes as UTF-8 (strictly) and then as JSON."""
    return json.loads(data.decode("utf-8"), parse_constant=lambda c: failures.append(what + c))


# ---- the text forms of the figures ------------------------------------------

def traffic(n, compact=False):
    mib, tenth = n >> 20, ((n & 0xFFFFF) * 10) >> 20
    if compact:
        if n < 1024:
            return f"  {n:4d}"
        if n < 1000000:
            return f" {n >> 10:4d}k"
        return f"{mib:3d}.{tenth}M" if mib < 100 else f"{mib:5d}M"
    if n < 1000000:
        return f"{n:6d}"
    return f"{mib:3d}.{tenth}M" if n < 1048576000 else f"{mib:5d}M"


def hms(seconds, width=0):
    return f"{seconds // 3600:{width}d}:{seconds // 60 % 60:02d}:{seconds % 60:02d}"


def iso(text):
    return datetime.datetime.strptime(text, "%Y-%m-%dT%H:%M:%S")


UPPER = [[" ", " ", "▐", "▐"], [" ", " ", "▄", "▐"], ["▌", "▄", "▄", "█"], ["▌", "▌", "█", "█"]]
BOTTOM = [[" ", "▐", "▐", "▐"], ["▌", "▄", "▄", "▐"], ["▌", "▄", "▄", "█"], ["▌", "▌", "█", "█"]]


def slot_starts(slot):
    """Where each of the 96 slots begins, and the chart's end, in seconds
    from the chart's start: slot i begins at floor(i * slot_seconds)."""
    exact = fractions.Fraction(str(slot))
    return [math.floor(i * exact) for i in range(97)]


def chart_rows(values, slot):
    """The ten rows a busy chart draws for slot values in seconds."""
    starts = slot_starts(slot)
    lengths = [b - a for a, b in zip(starts, starts[1:])]
    pct = [1 if 0 < v and v * 100 < n else v * 100 // n for v, n in zip(values, lengths)]
    rows = []
    for j in range(10):
        base = 90 - 10 * j
        middle, top = (2 if j == 9 else base + 3), base + 7

        def level(p):
            return 3 if p >= top else 2 if p >= middle else 1 if p > base else 0
        glyphs = BOTTOM if j == 9 else UPPER
        row = ""
        for c in range(49):
            g = glyphs[level(pct[2 * c - 1]) if c else 0][level(pct[2 * c]) if c < 48 else 0]
            row += "│" if c == 0 and g == " " else g
        rows.append(row)
    return rows


# ---- crosscheck ------------------------------------------------------------------

LINES = [  # History value, Name (None: the line's number is its title)
    ("binkd.his,2,1", "BinkD"), ("plain28.his", None), ("long100.his", "Modem"),
    ("brake.his", "Brake"), ("pair116.ohs", "Pair"), ("status64.his", None),
    ("wide316.his", "Internet"), ("dated104.ohs", "Dated"), ("missing.his", "Missing"),
]

CONFIG = """[COMMON]
Output ravlog.out
Pondrel ravlog.lnk
SessionStat ravlog.ses
JsonReport day.json
BusyHist TIO
Group Yes
KeepAll Yes
MiddLine Group
ProtectSummary Yes
BrakeSesStat ADBE
AdvancedCPS Yes
Addr !2:5020/9999
Addr 2:5020/100          "Uplink"
Addr 2:5020/#            "Moscow"
Addr 2:5030
Addr 463/68
Addr 2:*                 "Zone 2"
Addr *
Addr ANSWER
Addr DIAL
Addr BBS
Addr EXTERNAL
"""


# A history's name without its extension, and its line's chart title.
NAMES = {history.split(".")[0]: name or f"Line {number}"
         for number, (history, name) in enumerate(LINES, start=1)}
UNREAD = [{"name": "Missing", "history": "missing.his", "type": 2}]


def node_config():
    text = CONFIG
    for history, name in LINES:
        text += f"[LINE]\nHistory {history}\n"
        if name:
            text += f'Name "{name}"\n'
        if history.startswith("dated"):
            text += "TimeShift AUTO\n"
    return text


SESSION_ROW = re.compile(r"^║  (\d\d:\d\d:\d\d)  │ (In |Out|   ) │  (.{15}) (.)(.)│(.+?) │ (.{6}) │ "
                         r"(.{6}) │ (.{6}) ║$")
LINE_FOOTER = re.compile(r"^║   Total:\s*(\d+)    In:\s*(\d+)    Out:\s*(\d+)   │(.+?) │ (.{6}) │ "
                         r"(.{6}) │\s*(\d+) ║$")
CELL = r"\s*(-|\d+)│\s*(-:--:--|\d+:\d\d:\d\d) ║"
LINK_ROW = re.compile(r"^║.([^║]*)║" + CELL + CELL + r"\s*(\d+:\d\d:\d\d) ║(.{6})║(.{6})║ (.{6})║$")


def sessions_tables(text):
    """Per table of the sessions statistic: its rows and its footer."""
    tables = []
    for line in text.split("\n"):
        if line.startswith("╔"):
            tables.append({"rows": [], "footer": None})
        elif m := SESSION_ROW.match(line):
            tables[-1]["rows"].append(m.groups())
        elif m := LINE_FOOTER.match(line):
            tables[-1]["footer"] = m.groups()
    return tables


def check_session_rows(where, table, line):
    rows = table["rows"]
    check(len(rows) == len(line["sessions"]), f"{where}: {len(rows)} rows in the text, "
          f"{len(line['sessions'])} in the JSON")
    names = {"in": "In ", "out": "Out", None: "   "}
    for n, (text, js) in enumerate(zip(rows, line["sessions"])):
        start, direction, address, prot, abrt, duration, rcvd, sent, cps = text
        expected = (js["start"][11:], names[js["direction"]], js["address"],
                    "P" if js["protected"] else " ", "A" if js["aborted"] else " ",
                    hms(js["duration"], 3), traffic(js["received"]), traffic(js["sent"]),
                    traffic(js["cps"]))
        got = (start, direction, address.rstrip(), prot, abrt, duration, rcvd, sent, cps)
        check(got == expected, f"{where} row {n + 1}: text {got}, JSON {expected}")
    t = line["totals"]
    expected = (str(t["sessions"]), str(t["sessions_in"]), str(t["sessions_out"]),
                hms(t["time_online"], 3), traffic(t["received"]), traffic(t["sent"]), str(t["cps"]))
    check(table["footer"] == expected, f"{where} totals: text {table['footer']}, JSON {expected}")


def link_tables(text):
    """The rows of the links table and of the group table, in order."""
    tables, rows = [], None
    for line in text.split("\n"):
        if line.startswith("╔"):
            rows = []
            tables.append(rows)
        elif rows is not None and (m := LINK_ROW.match(line)):
            rows.append((m.group(1).strip(),) + m.groups()[1:] + (line[1],))
    return tables


def link_cells(row, prot):
    def cell(count, seconds):
        return ("-", "-:--:--") if count == 0 else (str(count), hms(seconds))
    return ((row["address"],) + cell(row["sessions_in"], row["time_in"]) +
            cell(row["sessions_out"], row["time_out"]) +
            (hms(row["time_online"]), traffic(row["received"]), traffic(row["sent"]),
             traffic(row["cps"]), "P" if prot and row["protected"] else " "))


def check_link_rows(where, text_rows, rows, prot=False):
    """prot: the text marks protected rows (ravlog's links table)."""
    check(len(text_rows) == len(rows), f"{where}: {len(text_rows)} rows in the text, "
          f"{len(rows)} in the data")
    for n, (got, row) in enumerate(zip(text_rows, rows)):
        check(row["kind"] is None or row["kind"] == row["address"], f"{where} row {n + 1} kind")
        want = link_cells(row, prot)
        check(tuple(got) == want, f"{where} row {n + 1}: text {got}, data {want}")


def totals_box(text, labels):
    """The figures of the totals box's rows that begin with the labels."""
    found = {}
    for label in labels:
        m = re.search(r"│ " + re.escape(label) + r"\s*:  (.{6}) │ [^:]+:\s*(\d+) │ [^:]+:\s*"
                      r"(\d+:\d\d:\d\d) │", text)
        found[label] = m.groups() if m else None
    return found


def check_totals(where, text, labels, totals):
    keys = [("received", "sessions_in", "time_in"), ("sent", "sessions_out", "time_out"),
            ("traffic", "sessions", "time_online")]
    box = totals_box(text, labels)
    for label, (bytes_key, count_key, time_key) in zip(labels, keys):
        expected = (traffic(totals[bytes_key]), str(totals[count_key]), hms(totals[time_key]))
        check(box[label] == expected, f"{where} {label}: text {box[label]}, data {expected}")


def chart_blocks(text):
    """Title -> the ten rows of each chart block of the sessions history."""
    lines, blocks = text.split("\n"), {}
    for i, line in enumerate(lines):
        if line.strip().endswith(" Histogram"):
            top = next(k for k in range(i + 1, len(lines)) if "100%┬" in lines[k])
            blocks[line.strip()] = [row[15:64] for row in lines[top + 1:top + 11]]
    return blocks


def check_charts(where, blocks, report, many_lines):
    by_history = {line["history"]: line for line in report["lines"]}
    for number, (history, name) in enumerate(LINES, start=1):
        line = by_history.get(history.split(",")[0])
        if line is None:
            continue
        busy, slot = line["busy"], line["busy"]["slot_seconds"]
        n, m = (2, 1) if line["type"] == 3 else (1, 1)
        scaled = {"Busy": [a // n + b // m for a, b in zip(busy["incoming"], busy["outgoing"])]
                  if line["type"] == 3 else busy["all"],
                  "Incoming": [v // n for v in busy["incoming"]],
                  "Outgoing": [v // m for v in busy["outgoing"]]}
        for kind, values in scaled.items():
            title = (f"{name} - " if name else f"Line {number} - " if many_lines else "") + \
                f"{kind} Histogram"
            check(blocks.get(title) == chart_rows(values, slot),
                  f"{where}: the chart '{title}' is not drawn from the JSON's busy slots")


def check_ravlog(work, tag, args, files, zone):
    ses, lnk, out, js = files
    run("ravlog", args, work, zone)
    report = strict_json(read(os.path.join(work, js)), f"{tag} {js}")
    check(list(report) == ["period", "lines", "links", "groups", "totals", "unread_lines"],
          f"{tag} keys")
    check(report["unread_lines"] == UNREAD, f"{tag} unread lines {report['unread_lines']}")
    text = read(os.path.join(work, ses)).decode()
    tables = sessions_tables(text)
    check(len(tables) == len(report["lines"]), f"{tag}: {len(tables)} tables, "
          f"{len(report['lines'])} lines in the JSON")
    for n, (table, line) in enumerate(zip(tables, report["lines"])):
        check_session_rows(f"{tag} line {n + 1}", table, line)
    start, end = iso(report["period"]["start"]), iso(report["period"]["end"])
    header = re.search(r"From:? *(\d+:\d\d:\d\d)(?: to (\d+:\d\d:\d\d))?, (\d\d \w+ \d{4})", text)
    check(header and header.group(1) == f"{start.hour}:{start:%M:%S}" and
          header.group(3) == f"{start:%d %B %Y}", f"{tag}: period start {start}")
    check(end > start, f"{tag}: period end {end}")
    links = link_tables(read(os.path.join(work, lnk)).decode())
    check_link_rows(f"{tag} links", links[0], report["links"], True)
    check_link_rows(f"{tag} groups", links[1] if len(links) > 1 else [], report["groups"])
    history = read(os.path.join(work, out)).decode()
    check_totals(f"{tag} totals", history, ["Total Received", "Total Sent", "Total Traffic"],
                 report["totals"])
    protection = "Protected Rcvd" in history
    check(protection == ("protected" in report["totals"]), f"{tag}: protected totals")
    if protection:
        check_totals(f"{tag} protected", history,
                     ["Protected Rcvd", "Protected Sent", "Protected Total"],
                     report["totals"]["protected"])
        check_totals(f"{tag} unprotected", history,
                     ["UnProt Received", "UnProt Sent", "UnProt Total"],
                     report["totals"]["unprotected"])
    check_charts(tag, chart_blocks(history), report, True)
    if zone == "UTC":  # where the dump's times are the period's
        check_aborted(work, tag, history, start, end)
    return {r["address"]: r["label"] for r in report["links"] + report["groups"]}


def check_aborted(work, tag, history, start, end):
    """brimsel's aborted records of the period, but the excluded 2:5020/9999
    and The Brake!'s events, are the Aborted figures of ravlog's busy charts."""
    shown, name = {}, None
    for text in history.split("\n"):
        if m := re.match(r" *(.+) - (\w+) Histogram$", text):
            name = m.group(1) if m.group(2) == "Busy" else None
        elif name and (m := re.match(r" Aborted: *(\d+) ", text)):
            shown[name], name = m.group(1), None
    counted = {}
    for line in run("brimsel", ["-fjson"], work).splitlines():
        r = json.loads(line)
        valid = r["start"] and r["zone"] > 0 and min(r["net"], r["node"], r["point"]) >= 0 \
            and r["duration"] <= 86400 and (r["net"], r["node"]) != (5020, 9999)
        if r["type"] != 4 and valid and iso(r["start"]) <= end and \
                iso(r["start"]) + datetime.timedelta(seconds=max(r["duration"], 1)) > start:
            name = NAMES[r["file"].split(".")[0]]
            counted[name] = counted.get(name, 0) + r["aborted"]
        check(r["aborted"] is None if r["kind"] else isinstance(r["aborted"], bool),
              f"{tag}: brimsel's aborted {r['aborted']} for kind {r['kind']}")
    expected = {name: str(counted.get(name, 0)) for name in shown}
    check(set(counted) <= set(shown), f"{tag}: no Aborted figure for {set(counted) - set(shown)}")
    check(shown == expected, f"{tag}: ravlog's Aborted {shown}, brimsel's {expected}")


def csv_rows(data, what):
    check(data.endswith(b"\r\n"), f"{what}: records end with CR LF")
    return list(csv.reader(io.StringIO(data.decode("utf-8"), newline="")))


def check_pondrel(work, tag, zone, labels):
    """labels: ravlog's labels by address, which pondrel's rows give alike."""
    text = run("pondrel", [], work, zone).decode()
    report = strict_json(run("pondrel", ["-fjson"], work, zone), f"{tag} pondrel json")
    check(list(report) == ["from", "to", "links", "groups", "totals", "unread_lines", "days"],
          f"{tag} pondrel keys")
    dates = [d["date"] for d in report["days"]]
    check(dates[0] == report["from"][:10] and dates[-1] == report["to"][:10] and
          dates == [str(datetime.date.fromisoformat(dates[0]) + datetime.timedelta(n))
                    for n in range(len(dates))], f"{tag} pondrel: days from From to To")
    check(all(sum(d[k] for d in report["days"]) == v for k, v in report["totals"].items()),
          f"{tag} pondrel: the days add up to the totals")
    check(report["unread_lines"] == UNREAD, f"{tag} pondrel unread lines")
    same = [r for r in report["links"] + report["groups"] if r["address"] in labels]
    check(any(r["label"] for r in same) and
          all(r["label"] == labels[r["address"]] for r in same), f"{tag} pondrel labels")
    for key, label in (("from", "From"), ("to", "To  ")):
        shown = f"{label}: {iso(report[key]):%H:%M:%S, %d %B %Y, %A}"
        check(shown in text, f"{tag} pondrel: '{shown}' not in the text")
    tables = link_tables(text)
    check_link_rows(f"{tag} pondrel links", tables[0], report["links"])
    check_link_rows(f"{tag} pondrel groups", tables[1] if len(tables) > 1 else [],
                    report["groups"])
    check_totals(f"{tag} pondrel totals", text,
                 ["Total Received", "Total Sent", "Total Traffic"], report["totals"])
    rows = csv_rows(run("pondrel", ["-fCSV"], work, zone), f"{tag} pondrel csv")
    keys = ["sessions_in", "time_in", "sessions_out", "time_out", "time_online", "received",
            "sent", "cps"]
    check(rows[0] == ["section", "address", "kind"] + keys, f"{tag} pondrel csv header")
    expected = [["link", r["address"], r["kind"] or ""] + [str(r[k]) for k in keys]
                for r in report["links"]]
    expected += [["group", r["address"], r["kind"] or ""] + [str(r[k]) for k in keys]
                 for r in report["groups"]]
    t = report["totals"]
    expected.append(["total", "", ""] + [str(t[k]) for k in keys[:-1]] + [""])
    check(rows[1:] == expected, f"{tag} pondrel: CSV and JSON differ")


DUMP_ROW = re.compile(r"^│ (.{15}) │ (.{24}) │\s*(\d+) │ (.{6}) │ (.{6}) │ ([01]{4}) │$")


def check_brimsel(work, tag, zone):
    text = run("brimsel", [], work, zone).decode()
    dumped, file = [], None
    for line in text.split("\n"):
        if line.startswith("File: "):
            file = line[6:]
        elif m := DUMP_ROW.match(line):
            dumped.append((file,) + m.groups())
    records = [strict_json(line, f"{tag} brimsel json")
               for line in run("brimsel", ["-fjson"], work, zone).splitlines()]
    check(len(records) == len(dumped), f"{tag} brimsel: {len(dumped)} rows, {len(records)} "
          "objects")
    for n, (got, r) in enumerate(zip(dumped, records)):
        start = ("??? ??? ?? ??:??:?? ????" if r["start"] is None
                 else f"{iso(r['start']):%a %b %d %H:%M:%S %Y}")
        flags = "".join("1" if r[k] else "0" for k in ("protected", "normal", "outgoing",
                                                        "incoming"))
        expected = (r["file"], r["address"], start, str(r["duration"]),
                    traffic(r["received"], True), traffic(r["sent"], True), flags)
        got = (got[0], got[1].rstrip()) + got[2:]
        check(got == expected, f"{tag} brimsel record {n + 1}: text {got}, JSON {expected}")
        check(r["kind"] is None or r["kind"] == r["address"], f"{tag} brimsel record {n + 1} kind")
    rows = csv_rows(run("brimsel", ["-fcsv"], work, zone), f"{tag} brimsel csv")
    keys = list(records[0]) if records else []
    check(rows[0] == keys, f"{tag} brimsel csv header {rows[0]}")

    def field(v):
        return "" if v is None else ("1" if v else "0") if isinstance(v, bool) else str(v)
    check(rows[1:] == [[field(r[k]) for k in keys] for r in records],
          f"{tag} brimsel: CSV and JSON differ")


def crosscheck():
    zones = ["UTC", "CET-1CEST,M3.5.0,M10.5.0/3"]
    for seed, end in ((2718, "2024-03-05"), (31, "2024-03-31"), (7, "2024-10-27")):
        for zone in zones:
            with tempfile.TemporaryDirectory() as work:
                subprocess.run([os.path.join(BUILD, "tools", "histgen"), "node", "--dir", work,
                                "--days", "4", "--seed", str(seed), "--end", end],
                               check=True, capture_output=True)
                with open(os.path.join(work, "ravlog.ctl"), "w") as f:
                    f.write(node_config())
                day = datetime.date.fromisoformat(end)
                d = f"-d{day.day}.{day.month}.{day.year}"
                tag = f"seed {seed}, {zone}"
                labels = check_ravlog(work, tag + ", whole day", [d],
                                      ("ravlog.ses", "ravlog.lnk", "ravlog.out", "day.json"),
                                      zone)
                check_ravlog(work, tag + ", 22-6", [d, "-t22-6", "-ew.ses", "-lw.lnk", "-ow.out",
                                                    "-jw%Y.json"],
                             ("w.ses", "w.lnk", "w.out", f"w{datetime.date.today().year}.json"),
                             zone)
                check_pondrel(work, tag, zone, labels)
                check_brimsel(work, tag, zone)


# ---- hostile names and paths ------------------------------------------------------

# Every kind of byte a quoted Name can hold: a tab, a carriage return and
# other controls, DEL, broken UTF-8 (a lone lead, a stray continuation, a
# surrogate, a cut 4-byte sequence), valid UTF-8, a backslash, JSON's own
# quote escape and a comma.
HOSTILE_NAME = (b"tab\there cr\r bell\x07 esc\x1b del\x7f | \xff\xfe \xc3( \x80 \xed\xa0\x80 |"
                b" \xd0\xa3\xd0\xb7\xd0\xb5\xd0\xbb \xf0\x9f\x98\x80 back\\slash \\u0041, comma")
HOSTILE_PATH = 'we"ird\\pa{th}[1].his'


def hostile():
    with tempfile.TemporaryDirectory() as work:
        records = ("2:5020/1 2024-03-05T10:00:00 dur=60 rcvd=1000 sent=2000 flags=5\n"
                   "2:5020/2 2024-03-05T11:00:00 dur=0 flags=6\n")
        for name in (HOSTILE_PATH, "plain.his"):
            subprocess.run([os.path.join(BUILD, "tools", "histgen"), "write", "--type", "2",
                            "--out", os.path.join(work, name)], input=records.encode(),
                           check=True, capture_output=True)
        config = (b"[COMMON]\nJsonReport h.json\nGroup Yes\nAddr 2:5020/# \"\x01\xff,\"\n"
                  b"[LINE]\nHistory " + HOSTILE_PATH.encode() + b"\nName \"" + HOSTILE_NAME +
                  b"\"\n[LINE]\nHistory plain.his\nName \"no closing quote, \xe2\x82\n")
        with open(os.path.join(work, "ravlog.ctl"), "wb") as f:
            f.write(config)
        run("ravlog", ["-d5.3.2024"], work)
        report = strict_json(read(os.path.join(work, "h.json")), "hostile ravlog")
        names = [line["name"] for line in report["lines"]]
        check(names == [HOSTILE_NAME.decode("utf-8", "replace"),
                        "no closing quote, \ufffd\n"], f"hostile names read back as {names}")
        check([line["history"] for line in report["lines"]] == [HOSTILE_PATH, "plain.his"],
              "hostile history paths")
        strict_json(run("pondrel", ["-fjson"], work), "hostile pondrel")
        csv_rows(run("pondrel", ["-fcsv"], work), "hostile pondrel")
        dumped = [strict_json(line, "hostile brimsel")["file"]
                  for line in run("brimsel", ["-fjson"], work).splitlines()]
        check(dumped == [HOSTILE_PATH] * 2 + ["plain.his"] * 2, f"brimsel JSON files {dumped}")
        rows = csv_rows(run("brimsel", ["-fcsv"], work), "hostile brimsel")
        check([r[0] for r in rows] == ["file"] + [HOSTILE_PATH] * 2 + ["plain.his"] * 2,
              f"brimsel CSV files {[r[0] for r in rows]}")
        check(all(len(r) == 17 for r in rows), "brimsel CSV: 17 fields in every record")


def main():
    global BUILD
    if len(sys.argv) != 3 or sys.argv[1] not in ("crosscheck", "hostile"):
        raise SystemExit(__doc__)
    BUILD = os.path.abspath(sys.argv[2])
    {"crosscheck": crosscheck, "hostile": hostile}[sys.argv[1]]()
    for failure in failures[:40]:
        print("FAIL:", failure)
    print(f"{checks} checks, {len(failures)} failures")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()

; ravlog.ctl - the configuration of ravlog, pondrel and brimsel, explained.
;
; This file reads as it stands the histories that `histgen node` writes
; (one of each kind the suite knows): copy it as ravlog.ctl into the
; directory that holds them and run ravlog, pondrel or brimsel there. As
; it stands it writes the reports and changes no history.
; For your own node, change the History lines to your mailers' files and
; the Addr lines to your links. Every keyword is described in
; ravlog.ctl(5).
;
; The grammar in short: one keyword and its value per line, keywords in
; any case; a ';' starts a comment at the start of a line or where a value
; is expected. Do not put comments behind BusyHist or BrakeSesStat values:
; every character after those keywords is read as a letter of the mask.
; [COMMON] sections hold the report settings and the defaults of the
; per-line settings; each [LINE] section names one history file.

[COMMON]

; ---- Reports (ravlog) ---------------------------------------------------
;
; The three files that ravlog writes. The names may hold macros of the run
; date: %Y year, %M month, %D day, %N day of the year, %W weekday (1 is
; Monday), %% a percent sign; a leading + appends instead of replacing.
; A nightly `ravlog -d-1` with
;   SessionStat ses%Y%M%D.txt
; keeps one file a day, named by the day of the run (the day after the
; sessions it lists).
Output      ravlog.out
Pondrel     ravlog.lnk
SessionStat ravlog.ses
;
; The same figures as one JSON file for other programs (see docs/json.md),
; always written whole, so without a leading +. Off unless named:
;   JsonReport  ravlog%Y%M%D.json
;
; The same day as one page for a browser (see docs/html.md), also written
; whole. Off unless named:
;   HtmlReport  ravlog%Y%M%D.html
;
; The code page of the text reports of all three programs: UTF-8 (the
; default), or CP866 / CP437 for posting them into an echo area. -u<name>
; on the command line overrides it. This file itself stays UTF-8.
;   Charset     CP866

; The report day and the time window of it. -d and -t on the command line
; override them; "Date -1" would make every run report yesterday.
; Time 8-17 would report office hours only; 22-6 reports the night that
; ends on the report day.
Date 0
Time 0-24

; Busy charts drawn for every line that does not choose its own: T all
; sessions, I incoming, O outgoing, P protected, U unprotected; $ leaves
; out a chart that would be empty. Yes means TIOPU.
BusyHist TIO$

; A group statistic and a groups history for the Addr patterns with a #.
Group Yes
; Entries that had no session are left out of the reports.
KeepAll No
; Sessions that moved no byte count, but are not drawn in the charts.
NoDrawZero Yes
; Separating lines in the address charts: Yes after every row, Group
; between the nodes of a group and the rows before them, No none.
MiddLine Group
; The figure beside each address chart: Ses (sessions), Time (minutes
; online) or CPS.
ShowValue Ses
; The protected/unprotected rows of the totals box; drawn only when every
; line's history records protection, which is not the case here.
ProtectSummary Yes

; ---- History formats and per-line defaults ------------------------------
;
; Formats are recognised from the first bytes and the name of each file.
; SupportNewFormat No would read every file as 28-byte records, as very
; old versions did, and skip the Addr lines of The Brake! events.
SupportNewFormat Yes

; Times are shown as the history stores them, plus TimeShift hours. Most
; mailers store the node's local time: 0. A history that stores UTC (or
; whose times brimsel shows off by your offset from UTC) needs AUTO, the
; local offset in whole hours; any other shift is whole hours, -23 to 23.
; A line's own TimeShift wins over this one.
TimeShift 0

; History cutting: keep only the sessions of the last N days in each
; history file, rewriting it while ravlog reads it (0: never). Only the
; formats with 28- and 100-byte records are cut; pairs and the other
; formats are never touched. The reports do not change, but dropped records
; are gone for pondrel's longer periods: choose N longer than the longest
; period you ask pondrel for. See docs/cutting.md for what a cut
; guarantees if the run is interrupted.
CutHistory 0

; The day archive: an SQLite file in which ravlog records every complete
; day of every line before a cut can remove it, so that pondrel still
; reports periods the histories no longer hold (see docs/archive.md).
; Created by the first run that names it; off unless named:
;   Archive     archive.db

; CPS figures leave out the time that sessions without traffic spent on
; the handshake (an estimate).
AdvancedCPS Yes
SwapInOut No
BinkDAborted In

; Which The Brake! events (A answer, D dial, T terminal, B BBS, E external)
; are listed in the sessions statistic and get rows in the links statistic.
BrakeSesStat ADB

; ---- Addresses of interest ----------------------------------------------
;
; A session counts in the FIRST entry that matches it, in this order, so
; exclusions and single nodes come before the patterns that cover them.
; Only sessions that some entry takes count at all, in the line totals and
; busy charts too: the list ends with a catch-all.
; A quoted label (at most 15 characters) names the entry in the charts.

; Exclusion: a test node whose sessions count nowhere and are not listed.
Addr !2:5020/9999
; A single node with all its points.
Addr 2:5020/100          "Uplink"
; The node alone: its points go on to the patterns below.
Addr 2:5020/545.0        "Hub 545"
; A group: a row for the whole net 2:5020 and one for each of its nodes
; that had a session (2:5020/#.# would also give each point its own row).
Addr 2:5020/#            "Moscow"
; A net wildcard: all of net 2:5030 in one row (the same as 2:5030/*).
Addr 2:5030              "Net 5030"
; A node in any zone.
Addr 463/68              "Kiev hub"
; Everything else of zone 2, then of every zone.
Addr 2:*                 "Zone 2"
Addr *                   "Far links"
; The events of The Brake!: how long the line answered, dialled, and
; served BBS callers and external programs.
Addr ANSWER
Addr DIAL
Addr BBS
Addr EXTERNAL

; ---- Lines: one [LINE] per history file ---------------------------------

[LINE]
; BinkD's binary log, written with `binlog binkd.his` in binkd.conf (the
; same 28-byte layout as T-Mail's). ",2,1": this binkd answers on 2
; channels and calls out on 1. The numbers settle directions (with 0
; incoming channels every session is outgoing, with 0 outgoing ones
; incoming), divide the busy charts and size the line's usage. binkd
; writes its local time (TimeShift 0) but marks its incoming and outgoing
; sessions the other way round: SwapInOut Yes. An aborted session carries
; both marks; BinkDAborted Out would count it as outgoing.
History binkd.his,2,1
Name "BinkD"
TimeShift 0
SwapInOut Yes
BinkDAborted In
; binkd keeps no limit on its log. Taking the ';' away from the next line
; keeps only its last 60 days: ravlog then rewrites binkd.his while it
; reads it, and older sessions are gone for good (see CutHistory above).
; Left off here, so that trying this file changes no history.
;CutHistory 60
BusyHist TIO$

[LINE]
; T-Mail's binary log: 28-byte records, no channel numbers, directions as
; stored. Kept whole (the [COMMON] CutHistory 0).
History plain28.his
Name "T-Mail"

[LINE]
; 100-byte records after a two-byte signature; they record protection and
; aborts, so this line gets protected/unprotected charts too.
History long100.his
Name "Modem-2"
BusyHist TIOPU$
CutHistory 0

[LINE]
; The Brake!: mail sessions and the line's other events (see the ANSWER,
; DIAL, BBS and EXTERNAL entries above).
History brake.his
Name "Brake"

[LINE]
; FrontDoor's history: a pair of files, incoming sessions in the .ihs and
; outgoing ones in the .ohs file, read together as one line (name either
; one). binkd writes the same format with
;   fdinhist pair116.ihs
;   fdouthist pair116.ohs
; the names must end in .ihs/.ohs to pair. Local time: TimeShift 0. A node
; that lets binkd write both this pair and its binary log should configure
; only one of them, or every session counts twice.
History pair116.ohs
Name "FrontDoor"

[LINE]
; 64-byte records after an eight-byte signature; protection recorded.
History status64.his
Name "ISDN"
AdvancedCPS No

[LINE]
; 316-byte records, of which only the session records count.
History wide316.his
Name "Internet"

[LINE]
; A pair of 104-byte records that store the start as calendar fields. The
; programs read those as local time, which turns them into true UTC; AUTO
; turns them back into the node's wall clock like the other lines.
History dated104.ohs
Name "Pair-104"
TimeShift AUTO

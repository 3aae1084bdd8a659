; Demonstration configuration: one [LINE] per history that
; `histgen node` writes. Paths are relative: run the programs from the
; directory that holds the generated histories.

[COMMON]
; The histories keep the node's wall clock, so no shift is needed.
TimeShift 0
Output ravlog.out
Pondrel ravlog.lnk
SessionStat ravlog.ses
BusyHist TIO$
Group Yes
MiddLine Group
ShowValue Ses
BrakeSesStat AB

; The links of interest: every node of net 2:5020 one by one (but
; 2:5020/9999, left out before the group can take it), the rest of
; zone 2 together, a friend abroad, and the Answer events.
Addr !2:5020/9999
Addr 2:5020/#           "Moscow"
Addr 2:*                "Zone 2"
Addr 1:3634/12          "Friend"
Addr ANSWER

[LINE]
; BinkD: 2 incoming and 1 outgoing channel.
History binkd.his,2,1
Name "BinkD"
BusyHist TIOPU$

[LINE]
History plain28.his
Name "Modem-1"

[LINE]
History long100.his
Name "Modem-2"

[LINE]
; The Brake!: mail sessions and the line's other events.
History brake.his
Name "Brake"

[LINE]
; A pair: the outgoing file is named, the incoming one is its twin.
History pair116.ohs
Name "Pair-116"

[LINE]
History status64.his
Name "ISDN"

[LINE]
History wide316.his
Name "Internet"

[LINE]
; Stores calendar fields that are read as local time; AUTO turns the
; result back into the wall clock of the other histories.
History dated104.ohs
TimeShift AUTO
Name "Pair-104"

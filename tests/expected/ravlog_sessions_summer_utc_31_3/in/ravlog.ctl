; days before, of and after the change to summer time: a plain line
; reads the same in every zone, a line whose mailer writes UTC is moved
; by TIMESHIFT AUTO, the standard offset
[COMMON]
ADDR 2:5020/*
[LINE]
HISTORY local.his
[LINE]
NAME "UTC clock"
HISTORY utc.his
TIMESHIFT Auto

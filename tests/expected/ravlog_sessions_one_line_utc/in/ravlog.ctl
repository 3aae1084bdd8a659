; one line: sessions that cross midnight into the day count whole, one
; ending at the window start and one of the next day stay out, one
; starting on the last second is in; zone 0 is dropped silently, a
; negative point and an overlong session are reported
[COMMON]
ADDR !2:5020/666
ADDR 2:5020/*
ADDR 2:463/#
[LINE]
HISTORY a.his

; the same history read by two lines: one corrects its CPS for the
; handshake of a session without traffic ((250 - 200) * 3 / 1 = 150 s:
; 2000 / 100 instead of 2000 / 200), the other shifts its clock back
[COMMON]
ADDR 2:5020/*
[LINE]
HISTORY a.his
ADVANCEDCPS Yes
[LINE]
HISTORY a.his
TIMESHIFT -2

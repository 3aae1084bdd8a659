; 22-6 starts on the evening before: a session ending at 22:00 stays
; out, one running into the window is in, 6:00:00 is in, 6:00:01 out
[COMMON]
ADDR 2
TIME 0-24
[LINE]
HISTORY w.his

; KeepAll keeps an entry without sessions: the run ends normally
[COMMON]
ADDR 3:*
KEEPALL No
[LINE]
HISTORY a.his

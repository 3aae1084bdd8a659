; an end hour 0 is the end of the day: 22-0 is the last two hours
[COMMON]
ADDR 2
TIME 22-0
[LINE]
HISTORY w.his

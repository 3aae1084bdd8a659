; no address with data: only the sessions statistic is written
[COMMON]
ADDR 3:*
KEEPALL No
[LINE]
HISTORY a.his

; the sessions statistic holds its banner, period and footer only
[COMMON]
ADDR 2:*
[LINE]
HISTORY gone.his
[LINE]
HISTORY x.ohs

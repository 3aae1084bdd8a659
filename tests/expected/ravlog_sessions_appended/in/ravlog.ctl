; -e names the sessions statistic over SESSIONSTAT, + appends
[COMMON]
ADDR 2:5020/*
SESSIONSTAT config.ses
[LINE]
HISTORY a.his

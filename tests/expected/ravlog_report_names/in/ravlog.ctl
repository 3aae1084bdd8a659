; -o and -l end at , and ;
[COMMON]
ADDR 2:5020/*
SESSIONSTAT config.ses
[LINE]
HISTORY a.his

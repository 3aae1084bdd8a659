[COMMON]
Addr 2:5020/*
[LINE]
History missing.his
[LINE]
History h1.his

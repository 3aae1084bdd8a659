[COMMON]
Addr 2:5020/*
[LINE]
History h1.his
[LINE]
History h2.his

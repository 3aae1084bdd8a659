[COMMON]
Addr 2:5020/*
[LINE]
History t1.his
[LINE]
History t6.his

[COMMON]
Addr 2:5020/*
[LINE]
History a.his

[COMMON]
MiddLine Group
Addr 2:5030/#
Addr 2:5020/100
Addr 2:5020/200
[LINE]
History a.his

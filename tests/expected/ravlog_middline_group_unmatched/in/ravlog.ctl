[COMMON]
MiddLine Group
KeepAll Yes
Addr 2:5020/100
Addr 2:5040/#
Addr 2:5020/200
[LINE]
History a.his

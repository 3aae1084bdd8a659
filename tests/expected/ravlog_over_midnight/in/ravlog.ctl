[COMMON]
Addr 2:5020/100
[LINE]
History night.his

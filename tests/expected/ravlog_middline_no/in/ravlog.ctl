[COMMON]
MiddLine No
Addr 2:5020/100 "Uplink"
Addr 2:5020/200 "Hub"
[LINE]
History a.his

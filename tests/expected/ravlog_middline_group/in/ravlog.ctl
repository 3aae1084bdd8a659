[COMMON]
MiddLine Group
Group Yes
Addr 2:5020/100 "Uplink"
Addr 2:5030/# "Net 5030"
Addr 2:5020/200 "Hub"
[LINE]
History a.his

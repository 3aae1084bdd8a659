; a small node
[COMMON]
BusyHist T$
MiddLine Yes
Group Yes
ProtectSummary Yes   ; the plain line keeps it from showing
Addr 2:5020/100 "Uplink"
Addr 2:5020/# "Local net"
Addr !2:5030/666
Addr 2:5030/*
[LINE]
History main.his
[LINE]
History missing.his
[LINE]
History second.his

[COMMON]
Group Yes
BrakeSesStat B
Addr 2:4500/17.0
Addr 2:5020/#
Addr !2:4500/99
Addr 2:4500/*
Addr 2:4500/55.0
Addr BBS
Addr Dial
[LINE]
History a.his
[LINE]
History b.his

; with KeepAll the group prints without sessions while no link does
[COMMON]
Group Yes
KeepAll Yes
Addr 2:5020/#
[LINE]
History a.his

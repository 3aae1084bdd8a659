[COMMON]
KeepAll Yes
Addr 2:5030/# "Net 5030"
[LINE]
History a.his
[COMMON]
Group Yes

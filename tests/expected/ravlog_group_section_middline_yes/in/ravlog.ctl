[COMMON]
MiddLine Yes
Group Yes
Addr 2:5030/# "Net 5030"
Addr 2:5040/# "Net 5040"
[LINE]
History a.his

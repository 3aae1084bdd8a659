; brimsel acts on History, TimeShift and SupportNewFormat only
[COMMON]
TimeShift 2
Output ignored.out
Addr 2:5020/*

[LINE]
History plain.his
Name Modem
[LINE]
  History binkd.his,1,1 ; BinkD
  TimeShift -1

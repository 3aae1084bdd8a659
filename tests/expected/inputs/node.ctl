; The eight lines of the node that `histgen node` writes, its local net
; and zone 2 apart, and The Brake!'s answers counted
[COMMON]
Group Yes
BrakeSesStat AB
Addr !2:5020/9999
Addr 2:5020/# "Moscow"
Addr 2:*
Addr ANSWER
[LINE]
History binkd.his,2,1
[LINE]
History plain28.his
[LINE]
History long100.his
[LINE]
History brake.his
[LINE]
History pair116.ohs
[LINE]
History status64.his
[LINE]
History wide316.his
[LINE]
History dated104.ohs

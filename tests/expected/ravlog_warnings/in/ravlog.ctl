; the run goes on after each warning
[COMMON]
BUSYHIST TX
BRAKESESSTAT A!
SUPPORTNEWFORMAT No
ADDR Dial
ADDR 2:*
[LINE]
HISTORY a.his

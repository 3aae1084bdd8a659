; events are listed when their kind is in BRAKESESSTAT; an Answer entry
; counts its events' time, which are no sessions of either direction
[COMMON]
BRAKESESSTAT ab
ADDR ANSWER
ADDR 2:5020/*
[LINE]
HISTORY brake.his

; BinkD lines settle every selected session, also one no entry counts;
; SwapInOut turns the unmatched sessions of its line as well
[COMMON]
ADDR 2:5020/*
[LINE]
HISTORY binkd.his,1,1
BINKDABORTED Out
[LINE]
HISTORY outonly.his,0,1
[LINE]
HISTORY swap.his
SWAPINOUT Yes

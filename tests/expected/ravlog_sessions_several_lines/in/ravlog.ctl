; -h sources come first; a missing history is passed over and the line
; numbers count the lines that opened; type 1 shows the protection and
; abort marks; a named line is headed by its name, centred
[COMMON]
ADDR 2:5020/*
[LINE]
HISTORY a.his
[LINE]
HISTORY missing.his
[LINE]
History b.his
[LINE]
NAME "Узел Москва"
HISTORY c.his

[COMMON]
Addr Answer
Addr 2:5020/*
[LINE]
History brake.his

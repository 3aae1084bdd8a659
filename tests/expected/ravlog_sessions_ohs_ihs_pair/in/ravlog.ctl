; x.ohs is read as outgoing, then x.ihs as incoming, in one table
[COMMON]
ADDR 2:5020/*
[LINE]
HISTORY x.ohs

[COMMON]
Addr 2:5020/*
[LINE]
History h1.his
[LINE]
History h2.his
[LINE]
History h3.his
[LINE]
History h4.his
[LINE]
History h5.his
[LINE]
History h6.his
[LINE]
History h7.his
[LINE]
History h8.his
[LINE]
History h9.his
[LINE]
History h10.his
[LINE]
History h11.his
[LINE]
History h12.his

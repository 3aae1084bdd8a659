; a pair prints the named file, then its twin; of type 8 the dummy of
; the first file is dropped, the twin's shows
[LINE]
History p.OHS
[LINE]
History d.ihs

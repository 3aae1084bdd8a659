; histories that cannot be opened are told and skipped
[LINE]
History missing.his
[LINE]
History lone.ohs
[LINE]
History ok.his

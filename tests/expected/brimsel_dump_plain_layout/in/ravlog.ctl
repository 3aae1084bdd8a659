; the last SupportNewFormat counts: x.ohs reads as a plain history
[COMMON]
SupportNewFormat No
SupportNewFormat Yes
[LINE]
History x.ohs

%mem=4096MB
%nprocs=8
%chk=re-mol3-cation_nC.chk
#P SP b3lyp STO-3g Pop=full nosymm
Geom=Check Guess=Read

mol3

0 1


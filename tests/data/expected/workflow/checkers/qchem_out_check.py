#!/usr/bin/env python

import os,sys

if len(sys.argv) == 1:
    sys.exit(1)

Input=sys.argv[1]

if os.path.isfile(Input):
    if 'Have a nice day.' in open(Input).read():
        #sys.stdout.write("Normal termination of Q-Chem detected.\n")
        sys.exit(0)
    else:
        #sys.stdout.write("Abnormal termination of Q-Chem with %s!\n" % Input)
        sys.exit(1)
else:
    #sys.stdout.write("Q-Chem out file %s not found!\n" % Input)
    sys.exit(1)


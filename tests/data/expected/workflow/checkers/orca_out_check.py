#!/usr/bin/env python

import os,sys

if len(sys.argv) == 1:
    sys.exit(1)

Input=sys.argv[1]

if os.path.isfile(Input):
    if 'ORCA TERMINATED NORMALLY' in open(Input).read():
        #sys.stdout.write("Normal termination of ORCA detected.\n")
        sys.exit(0)
    else:
        #sys.stdout.write("Abnormal termination of ORCA with %s!\n" % Input)
        sys.exit(1)
else:
    #sys.stdout.write("ORCA out file %s not found!\n" % Input)
    sys.exit(1)


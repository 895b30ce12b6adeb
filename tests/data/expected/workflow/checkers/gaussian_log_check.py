#!/usr/bin/env python

import os,sys

if len(sys.argv) == 1:
    sys.exit(1)

Input=sys.argv[1]

GauNormEndStr=' Normal termination of Gaussian'

if os.path.isfile(Input):
    with open(Input) as f:
        lines = f.readlines()
        last = lines[-1]
        if last.find(GauNormEndStr) != -1:
            #sys.stdout.write("Normal termination of Gaussian detected.\n")
            sys.exit(0)
        else:
            #sys.stdout.write("Abnormal termination of Gaussian with '%s'!\n" % Input)
            sys.exit(1)
else:
    #sys.stdout.write("Gaussian log file '%s' not found!\n" % Input)
    sys.exit(1)


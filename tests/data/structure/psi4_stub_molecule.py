# Stand-ins of psi4's objects: the molecule built from arrays is printed.
class core:
    class Molecule:
        @staticmethod
        def from_arrays(**k):
            print(sorted(k.items()))
def activate(m): pass
def energy(*a, **k): return 0.0, None
def fchk(wfn, name): pass

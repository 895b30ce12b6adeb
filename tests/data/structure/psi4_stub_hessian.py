# Stand-ins of psi4's objects: a 7x7 Hessian H[i][j] = 10 i + j (+1e-3).
class Matrix:
    shape = (7, 7)
    def __getitem__(self, ij): return 10.0 * ij[0] + ij[1] + 1e-3
class W:
    def hessian(self):
        class M: np = Matrix()
        return M()
def energy(*a, **k): return 0.0, W()
def optimize(*a, **k): return 0.0
def frequency(*a, **k): return 0.0, W()
def fchk(wfn, name): open(name, 'w').write('fchk head\n')

#!/usr/bin/python3
# Writes the psi4 inputs of this folder; run "psi4 <stem>.dat <stem>.out -n 1" on each afterwards.
# Ethylene A at the origin, B turned by 30 degrees about x and shifted to (0.5, 0.3, 3.6) angstrom;
# the "rot" copies are the whole pair turned by 40 degrees about (1, 2, 3) and shifted by (1, -2, 0.5).
# Water in cc-pVTZ, pure and Cartesian, carries f functions.
import numpy as np

ethylene = [("C", -0.665, 0.0, 0.0), ("C", 0.665, 0.0, 0.0), ("H", -1.23, 0.923, 0.0),
            ("H", -1.23, -0.923, 0.0), ("H", 1.23, 0.923, 0.0), ("H", 1.23, -0.923, 0.0)]
water = [("O", 0.0, 0.0, 0.1173), ("H", 0.0, 0.7572, -0.4692), ("H", 0.0, -0.7572, -0.4692)]


def rotation(axis, degrees):
    a = np.asarray(axis, float) / np.linalg.norm(axis)
    t = np.radians(degrees)
    k = np.array([[0, -a[2], a[1]], [a[2], 0, -a[0]], [-a[1], a[0], 0]])
    return np.eye(3) + np.sin(t) * k + (1 - np.cos(t)) * k @ k


def moved(atoms, q, shift):
    return [(e, *(q @ np.array(x) + np.array(shift))) for e, *x in atoms]


def write(stem, atoms, basis, puream=None):
    lines = ["# %s: HF/%s%s" % (stem, basis, "" if puream is None else " puream %s" % puream),
             "molecule m {", "0 1"]
    lines += ["  %-2s %12.8f %12.8f %12.8f" % a for a in atoms]
    lines += ["units angstrom", "no_com", "no_reorient", "symmetry c1", "}", "set basis %s" % basis]
    if puream is not None:
        lines.append("set puream %s" % puream)
    lines += ["set scf_type pk", "set e_convergence 10", "set d_convergence 10",
              "e, wfn = energy('scf', return_wfn=True)", "fchk(wfn, '%s.fchk')" % stem]
    open(stem + ".dat", "w").write("\n".join(lines) + "\n")


b = moved(ethylene, rotation((1, 0, 0), 30), (0.5, 0.3, 3.6))
q, s = rotation((1, 2, 3), 40), (1, -2, 0.5)
for tag, basis in (("631gs", "6-31g*"), ("ccpvdz", "cc-pvdz")):
    write("a_" + tag, ethylene, basis)
    write("b_" + tag, b, basis)
    write("a_rot_" + tag, moved(ethylene, q, s), basis)
    write("b_rot_" + tag, moved(b, q, s), basis)
write("water_pure_ccpvtz", water, "cc-pvtz", "true")
write("water_cart_ccpvtz", water, "cc-pvtz", "false")

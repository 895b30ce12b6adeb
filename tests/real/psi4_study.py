#!/usr/bin/env python3
"""A whole study with the real programs: a real crystal from its CIF to the mobility tables, with psi4
at a small level, every stage run in study order as a user runs it. Checks what the study computed
against computations of its own:
  - every job ran once and ended normally, and a second run of every stage computes nothing;
  - VL.dat / VH.dat equal the projection of psi4's own dimer Fock and overlap matrices on the
    monomer orbitals, for the same pairs;
  - the four-point lambda equals the difference of psi4's energies and agrees with the normal-mode
    lambda within a few per cent;
  - the master-equation mobility equals the diffusion tensor of the rates the study wrote, and the
    kinetic Monte Carlo agrees with it within its error.

Usage: psi4_study.py BUILD_DIR SOURCE_DIR WORK_DIR [CRYSTAL]
CRYSTAL names a CIF in tests/data/crystals without its extension (default benzene: four molecules,
one unique, three unique pairs; naphthalene, two molecules and five unique pairs, takes about
three times as long, mostly in the charged states' finite-difference Hessians).
Exit status 77 (skipped) when psi4 or one of the post-processing tools is missing.
"""
import glob
import os
import re
import shutil
import subprocess
import sys
import time

BUILD, SOURCE, WORK = (os.path.abspath(a) for a in sys.argv[1:4])
CRYSTAL = sys.argv[4] if len(sys.argv) > 4 else "benzene"
SKIP = 77
HARTREE_MEV = 27211.386245988
KT_300_EV = 8.617333262e-5 * 300.0
CM_MEV = 0.1239841984

# The small level: Hartree-Fock/STO-3G with loose optimisation and conventional (PK) integrals. The
# point is that every program runs for real, not the chemistry. psi4 1.3 has analytic Hessians only
# for closed-shell Hartree-Fock, and with density fitting its auxiliary basis (up to g functions) makes
# that Hessian slower than the whole rest of the study; small molecules fit conventional integrals.
# Second-order convergence: with DIIS alone the UHF of the naphthalene cation stalls during its
# optimisation, and that of the benzene anion at the neutral's geometry ends in an excited state
# (138 meV too high).
METHOD = "scf"
INPUT = """&transport
  crystal          = %s.cif
  sched_type       = local
  compute_engine   = 4
  qc_method        = scf
  qc_basis         = sto-3g
  qc_memory        = 1000
  qc_ppn           = 2
  chargetype       = a
  ratetype         = marcus
  temp             = 300
  nsimu            = 200
  tsimu            = 10
  tsnap            = 0.5
  super_cell       = 4 4 4
  do_transport_run_ME = 1
  do_transport_get_mob_ME = 1
/
&qc_inp_append
set scf_type pk
set g_convergence gau_loose
set soscf true
set maxiter 200
/
""" % CRYSTAL

# The stages in study order: (folder, script) pairs, run with python from the folder.
QC_STAGES = [
    ".", "scr/mol_one_uc.py", ".", "scr/mol_one_nei.py", ".", "scr/mol_two.py",
    ".", "scr/get_transint.py",
    ".", "scr/mol_RE_neutral.py", ".", "scr/mol_RE_anion_cation.py",
    ".", "scr/mol_RE_lambda_4P.py", ".", "scr/get_RE_lambda_4P.py",
    ".", "scr/prepare_RE.py", ".", "scr/run_RE.py", ".", "scr/get_RE.py",
    ".", "scr/merge_evc_NM_output.py", ".", "scr/get_RE_lambda_evc.py",
]
CARRIERS = ["elec", "hole"]
# The stages that submit quantum chemistry: a second run must find everything done.
RUNNERS = ["scr/mol_one_uc.py", "scr/mol_one_nei.py", "scr/mol_two.py", "scr/mol_RE_neutral.py",
           "scr/mol_RE_anion_cation.py", "scr/mol_RE_lambda_4P.py"]


def fail(message):
    sys.stderr.write("FAILED: " + message + "\n")
    sys.exit(1)


def check(condition, message):
    if not condition:
        fail(message)


def run(folder, script, env):
    start = time.time()
    r = subprocess.run([sys.executable, script], cwd=folder, env=env, stdout=subprocess.PIPE,
                       stderr=subprocess.STDOUT, universal_newlines=True)
    sys.stdout.write("  %-40s %6.1f s\n" % (os.path.join(folder, script), time.time() - start))
    check(r.returncode == 0, "%s in %s ended with %d:\n%s" % (script, folder, r.returncode, r.stdout))


def stages():
    pairs = list(zip(QC_STAGES[0::2], QC_STAGES[1::2]))
    for c in CARRIERS:
        d = "MC-marcus/" + c
        pairs += [(d, "prepare-mc.py"), (d, "run_mc_batch.py"), (d, "get_mob.py")]
        d = "ME-marcus/" + c
        pairs += [(d, "prepare-me.py"), (d, "run_me_batch.py")]
    pairs.append(("ME-marcus", "get_mob.py"))
    return pairs


def outputs():
    return sorted(glob.glob("HL/*.out") + glob.glob("RE/*.out"))


def fchk_array(path, title, kind=float):
    with open(path) as f:
        lines = f.readlines()
    for i, line in enumerate(lines):
        if line.startswith(title):
            count = int(line.split("N=")[1])
            values, j = [], i + 1
            while len(values) < count:
                values += [kind(v) for v in lines[j].split()]
                j += 1
            return values
    fail("%s has no %s" % (path, title))


def last_total_energy(path):
    with open(path) as f:
        found = re.findall(r"Total Energy =\s+(-?\d+\.\d+)", f.read())
    check(found, "no total energy in " + path)
    return float(found[-1])


def data_rows(path):
    """The fields of every line that is not blank or a comment."""
    with open(path) as f:
        return [l.split("#")[0].split() for l in f if l.split("#")[0].strip()]


def harmonic_lambdas(neutral_fchk, charged_fchk, numpy):
    """lambda_1 and lambda_2 (meV) in the harmonic picture: half the displacement between the two
    optimised geometries (one turned onto the other by the mass-weighted least-squares rotation) times
    each state's Hessian, from the fchk files the jobs wrote."""
    def state(path):
        x = numpy.array(fchk_array(path, "Current cartesian coordinates")).reshape(-1, 3)
        m = numpy.array(fchk_array(path, "Real atomic weights"))
        lower = fchk_array(path, "Cartesian Force Constants")
        n = 3 * len(m)
        H = numpy.zeros((n, n))
        H[numpy.tril_indices(n)] = lower
        return x, m, H + numpy.tril(H, -1).T

    def turned_onto(moving, fixed, m):
        a, b = moving - m @ moving / m.sum(), fixed - m @ fixed / m.sum()
        u, _, vt = numpy.linalg.svd((a * m[:, None]).T @ b)
        r = u @ numpy.diag([1.0, 1.0, numpy.sign(numpy.linalg.det(u @ vt))]) @ vt
        return a @ r + m @ fixed / m.sum()

    xn, m, Hn = state(neutral_fchk)
    xc, _, Hc = state(charged_fchk)
    dn = (turned_onto(xc, xn, m) - xn).ravel()
    dc = (turned_onto(xn, xc, m) - xc).ravel()
    return [0.5 * dn @ Hn @ dn * HARTREE_MEV, 0.5 * dc @ Hc @ dc * HARTREE_MEV]


def first_numbers(path):
    with open(path) as f:
        return [float(x) for x in re.findall(r"-?\d+\.\d+(?:[eE][-+]?\d+)?", f.read())]


def independent_couplings(psi4, numpy):
    """|V| (meV) of HOMOs and LUMOs of every computed pair, from psi4's matrices: the dimer Fock and
    overlap matrices projected on the monomer orbitals, orthogonalised (Loewdin) to first order."""
    # The options of the study's inputs: the converged orbitals follow the convergence path.
    psi4.set_options({"basis": "sto-3g", "scf_type": "pk", "soscf": True, "maxiter": 200})
    psi4.core.set_output_file(os.path.join(WORK, "independent.out"), False)

    def scf(inp):
        with open(inp) as f:
            text = f.read()
        block = text[text.index("molecule {") + len("molecule {"):text.index("}")]
        mol = psi4.geometry(block)
        e, wfn = psi4.energy(METHOD, molecule=mol, return_wfn=True)
        return wfn

    # Each listed pair names its dimer, root and neighbour outputs: the inputs beside them.
    couplings = {}
    for line in open("data/trans_int_files.dat"):
        w = line.split()
        if len(w) != 5 or w[0] in couplings:
            continue
        d, a, b = (scf(f.replace("../", "").replace(".out", ".inp")) for f in w[:3])
        F, S = d.Fa().np, d.S().np
        na = a.basisset().nbf()
        values = []
        for shift in (0, 1):  # HOMO, LUMO
            ca = numpy.zeros(F.shape[0])
            cb = numpy.zeros(F.shape[0])
            ca[:na] = a.Ca().np[:, a.nalpha() - 1 + shift]
            cb[na:] = b.Ca().np[:, b.nalpha() - 1 + shift]
            j, s = ca @ F @ cb, ca @ S @ cb
            ea, eb = ca @ F @ ca, cb @ F @ cb
            values.append(abs((j - 0.5 * (ea + eb) * s) / (1.0 - s * s)) * HARTREE_MEV)
        couplings[w[0]] = values
    return couplings


def main():
    prepare = os.path.join(BUILD, "krymo_prepare")
    tools = ["qcpost_coupling.exe", "qcpost_nmproj.exe", "qcpost_modes.exe", "qcpost_lambda4p.exe"]
    missing = [t for t in tools if not os.path.exists(os.path.join(BUILD, t))]
    if shutil.which("psi4") is None:
        missing.append("psi4")
    if missing:
        print("SKIPPED: the real study needs " + ", ".join(missing))
        return SKIP
    try:
        import numpy
        import psi4
    except ImportError as e:
        # psi4's module lives outside the interpreter's path, under the Python psi4 itself runs with
        # (which also has numpy): switch to it once, with the path psi4 reports.
        if os.environ.get("KRYMO_REAL_PSIAPI"):
            print("SKIPPED: " + str(e))
            return SKIP
        api = subprocess.run(["psi4", "--psiapi-path"], stdout=subprocess.PIPE,
                             universal_newlines=True).stdout
        paths = dict(re.findall(r"export (PATH|PYTHONPATH)=([^:\n]*)", api))
        with open(shutil.which("psi4")) as f:
            interpreter = f.readline()[2:].strip()
        env = dict(os.environ, KRYMO_REAL_PSIAPI="1")
        env["PYTHONPATH"] = paths.get("PYTHONPATH", "") + os.pathsep + env.get("PYTHONPATH", "")
        sys.stdout.flush()
        os.execve(interpreter, [interpreter, os.path.abspath(__file__)] + sys.argv[1:5], env)

    env = dict(os.environ)
    env["PATH"] = BUILD + os.pathsep + env.get("PATH", "")
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    os.chdir(WORK)
    shutil.copy(os.path.join(SOURCE, "tests/data/crystals/%s.cif" % CRYSTAL), ".")
    with open("krymo.inp", "w") as f:
        f.write(INPUT)
    r = subprocess.run([prepare, "-info", "false"], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                       universal_newlines=True, env=env)
    check(r.returncode == 0, "krymo_prepare: " + r.stdout)

    start = time.time()
    for folder, script in stages():
        run(folder, script, env)
    print("first run: %.0f s" % (time.time() - start))

    # Every job ended normally, each output once, and no job left a marker.
    outs = outputs()
    inputs = sorted(glob.glob("HL/*.inp") + glob.glob("RE/re-*.inp"))
    check(len(outs) == len(inputs), "%d outputs for %d inputs" % (len(outs), len(inputs)))
    for o in outs:
        with open(o) as f:
            text = f.read()
        check("Psi4 exiting successfully" in text, o + " did not end normally")
        check(text.count("Psi4 exiting successfully") == 1, o + " holds more than one run")
    check(not glob.glob("RUN/ERROR-*"), "error markers: %s" % glob.glob("RUN/ERROR-*"))
    check(not glob.glob("RUN/running.*"), "markers left: %s" % glob.glob("RUN/running.*"))

    # The couplings of the study against psi4's own matrices (every pair of the study names a
    # computed pair; its value is that pair's).
    reference = independent_couplings(psi4, numpy)
    for name, k in (("data/VH.dat", 0), ("data/VL.dat", 1)):
        rows = [l.split() for l in open(name) if l.strip() and not l.lstrip().startswith("#")]
        listed = [l.split() for l in open("data/trans_int_files.dat")][1:]
        listed = [l for l in listed if len(l) == 5]
        check(len(rows) == len(listed), "%s: %d rows for %d pairs" % (name, len(rows), len(listed)))
        for row, pair in zip(rows, listed):
            got, want = abs(float(row[5])), reference[pair[0]][k]
            check(abs(got - want) < 1e-3, "%s pair %s: %.6f meV, psi4's matrices give %.6f meV"
                  % (name, " ".join(row[:5]), got, want))

    # Four-point lambda from psi4's energies; the normal-mode lambda against the harmonic energies of the
    # displacement that the test computes from the Hessians, and against the four-point lambda.
    for letter, charged, carrier in (("e", "anion", "elec"), ("h", "cation", "hole")):
        e = {s: last_total_energy("RE/re-mol1-%s.out" % s)
             for s in ("neutral", charged, "neutral_%sN" % letter, "%s_nC" % charged)}
        want = [(e["%s_nC" % charged] - e["neutral"]) * HARTREE_MEV,
                (e["neutral_%sN" % letter] - e[charged]) * HARTREE_MEV]
        want.append(want[0] + want[1])
        four_point = "data/lambda_4P-%s.dat" % letter
        rows = data_rows(four_point)  # molecule lambda_1 lambda_2 lambda
        check(rows and all(abs(float(r[k + 1]) - want[k]) < 1e-3 for r in rows for k in range(3)),
              "%s: four-point lambdas %s, psi4's energies give %s meV" % (four_point, rows, want))
        harmonic = harmonic_lambdas("RE/re-mol1-neutral.fchk", "RE/re-mol1-%s.fchk" % charged, numpy)
        with open("evc/mol1/%s/evc.cart.dat" % carrier) as f:
            total = [l for l in f if "Total reorganization energy" in l]
        projected = [float(x) * CM_MEV for x in total[-1].split()[-2:]]
        for got, ref in zip(projected, harmonic):
            check(abs(got - ref) <= 1e-3 * ref, "%s: normal-mode lambdas %s, the Hessians give %s meV"
                  % (carrier, projected, harmonic))
        nm = data_rows("data/NM-%s.dat" % letter)
        nm_lambda = float(nm[1][1])  # molecule count, then the first block's "modes lambda"
        check(abs(nm_lambda - sum(harmonic)) <= 1e-3 * nm_lambda, "data/NM-%s.dat: %.3f meV, the Hessians give %.3f"
              % (letter, nm_lambda, sum(harmonic)))
        print("  %s: lambda four-point %.1f + %.1f = %.1f meV, normal modes %.1f + %.1f = %.1f meV"
              % (carrier, want[0], want[1], want[2], projected[0], projected[1], nm_lambda))
        # The harmonic picture needs a clean doublet: a UHF state with <S^2> above 1 (0.75 exact) is a
        # broken-symmetry state whose surface is far from harmonic (the naphthalene cation at this level:
        # 1.41, and 10 % between the two lambdas), so there the comparison is reported, not asserted.
        with open("RE/re-mol1-%s.out" % charged) as f:
            s2 = re.findall(r"@S\^2 Observed:\s+(\S+)", f.read())
        s2 = float(s2[-1]) if s2 else 0.75
        if s2 <= 1.0:
            check(abs(nm_lambda - want[2]) <= 0.05 * want[2], "normal-mode lambda %.2f vs four-point %.2f meV (%s)"
                  % (nm_lambda, want[2], letter))
        else:
            print("  %s: <S^2> = %.2f, not compared (normal modes %.1f, four-point %.1f meV)"
                  % (charged, s2, nm_lambda, want[2]))

    # Master equation against the diffusion tensor of the written rates, and Monte Carlo within its error.
    for c in CARRIERS:
        rates = "ME-marcus/%s/krymo-marcus.dat" % c
        cell, pairs, reading = [], [], False
        for line in open(rates):
            w = line.split()
            if not w or w[0].startswith("#"):
                continue
            if w[0] in ("cell_a", "cell_b", "cell_c"):
                cell.append([float(x) for x in w[1:4]])
            elif w[0] == "molecules":
                nmol = int(w[1])
            elif w[0] == "pairs":
                reading = True
            elif reading:
                pairs.append(([float(x) for x in w[5:8]], float(w[-1])))
        D = numpy.zeros((3, 3))
        for d, k in pairs:
            d = numpy.array(d)
            D += k * numpy.outer(d, d)
        D /= 2.0 * nmol  # equal, equivalent sites: uniform occupation
        mu = D * 1e-16 / KT_300_EV  # cm^2/Vs
        units = [numpy.array(v) / numpy.linalg.norm(v) for v in cell]
        want = [u @ mu @ u for u in units] + [numpy.trace(mu) / 3.0]
        me = first_numbers("ME-marcus/%s/exp_data.dat" % c)
        me = [me[i] for i in range(4)]
        for w, g in zip(want, me):
            check(abs(g - w) <= 1e-3 * abs(want[3]), "%s master equation %s vs diffusion tensor %s" % (c, me, want))
        mc_text = open("MC-marcus/%s/exp_data.dat" % c).read().splitlines()[:4]
        for line in mc_text:
            value, error = re.findall(r"(-?\d\.\d+e[-+]\d+)", line)[:2]
            ref = me[mc_text.index(line)]
            check(abs(float(value) - ref) <= 4.0 * float(error) + 1e-9,
                  "%s Monte Carlo %s vs master equation %.4e" % (c, line, ref))

    # A second run of every stage computes nothing: no output of the quantum chemistry changes.
    stamps = {o: os.stat(o).st_mtime_ns for o in outs}
    start = time.time()
    for script in RUNNERS:
        run(".", script, env)
    check({o: os.stat(o).st_mtime_ns for o in outs} == stamps, "a second run recomputed outputs")
    check(outputs() == outs, "a second run wrote new outputs")
    print("second run: %.0f s" % (time.time() - start))
    return 0


if __name__ == "__main__":
    sys.exit(main())

// Quantum-chemistry input files: one writer per program and job family. The callers choose names,
// titles, charges and resources; these only lay out the text each program reads.
#include <cstdio>

#include "structure/fileio.h"
#include "structure/elements.h"
#include "util/files.h"
#include "util/text.h"

namespace krymo {

namespace {

// An input that cannot be created stops the run like any structure file of this stage.
const OutputFailure kQcInputFailure = {"fileio", 255, true, false};

void atom_lines(TextWriter& out, int n, const int* atypes, const double* x) {
    for (int p = 0; p < n; ++p)
        out.printf("%-2s %9.4f %9.4f %9.4f\n", element_symbol(atypes[p]).c_str(), x[3 * p], x[3 * p + 1],
                   x[3 * p + 2]);
}

// Opens `path`, lets `body` write the text, and closes it (both failures stop the run).
template <class Body>
void write_qc_input(const std::string& path, Body body) {
    TextWriter out;
    open_output(out, path, kQcInputFailure);
    body(out);
    close_output(out, kQcInputFailure);
}

// The keyword block of a Q-Chem job; `extra` lines go between the basis and the symmetry lines.
void qchem_rem(TextWriter& out, const char* jobtype, const std::string& method, const std::string& basis,
               std::initializer_list<const char*> extra) {
    out.line("$rem");
    out.printf("JOBTYPE         %s\n", jobtype);
    out.printf("METHOD          %s\n", method.c_str());
    out.printf("BASIS           %s\n", basis.c_str());
    for (const char* l : extra) out.line(l);
    out.line("symmetry        off");
    out.line("sym_ignore      true");
    out.line("$end");
    out.line();
}

// "<stem>" of "<dir>/<stem>.<ext>".
std::string file_stem(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

void psi4_molecule(TextWriter& out, const std::string& charge_mult, int n, const int* atypes, const double* x) {
    out.line("molecule {");
    out.line(charge_mult);
    atom_lines(out, n, atypes, x);
    out.line("units angstrom");
    out.line("no_com");
    out.line("no_reorient");
    out.line("symmetry c1");
    out.line("}");
    out.line();
}

// The job line, memory and processes that open every ORCA input.
void orca_header(TextWriter& out, const char* job, const std::string& method, const std::string& basis, int memory,
                 int nprocs) {
    out.printf("! %s %s %s NoUseSym\n", job, method.c_str(), basis.c_str());
    out.line();
    out.printf("%%MaxCore %d\n", memory);
    out.printf("%%PAL NPROCS %d END\n", nprocs);
    out.line();
}

bool psi4_open_shell(const std::string& charge_mult) {
    int charge = 0, multiplicity = 1;
    std::sscanf(charge_mult.c_str(), "%d %d", &charge, &multiplicity);
    return multiplicity != 1;
}

// Basis, the open-shell reference of a doublet, and the user's lines.
void psi4_options(TextWriter& out, const std::string& charge_mult, const std::string& basis,
                  const std::string& append) {
    out.printf("set basis %s\n", basis.c_str());
    if (psi4_open_shell(charge_mult)) out.line("set reference uhf");
    out.write(append);
    out.line();
}

// The Hessian (hartree/bohr^2) appended to the fchk file as the array the normal-mode tool reads:
// the lower triangle row by row, five values a line.
const char* const kPsi4HessianAppend[] = {
    "H = wfn_freq.hessian().np",
    "n = H.shape[0]",
    "values = [H[i, j] for i in range(n) for j in range(i + 1)]",
    "with open(fchk_file, 'a') as f:",
    "    f.write('%-40s   R   N=%12d\\n' % ('Cartesian Force Constants', len(values)))",
    "    for k in range(0, len(values), 5):",
    "        f.write(''.join('%16.8E' % v for v in values[k:k + 5]) + '\\n')",
};

// Reads atomic numbers and coordinates (bohr) of an fchk file into a psi4 molecule.
const char* const kPsi4FchkGeometry[] = {
    "def fchk_array(lines, title, kind):",
    "    for i, line in enumerate(lines):",
    "        if line.startswith(title):",
    "            count = int(line.split('N=')[1])",
    "            values = []",
    "            j = i + 1",
    "            while len(values) < count:",
    "                values += [kind(v) for v in lines[j].split()]",
    "                j += 1",
    "            return values",
    "    raise Exception('%s not found in %s' % (title, geometry_file))",
    "",
    "with open(geometry_file) as f:",
    "    fchk_lines = f.readlines()",
    "elez = fchk_array(fchk_lines, 'Atomic numbers', int)",
    "geom = fchk_array(fchk_lines, 'Current cartesian coordinates', float)",
    "mol = core.Molecule.from_arrays(elez=elez, geom=geom, units='Bohr', molecular_charge=charge,",
    "                                molecular_multiplicity=multiplicity, fix_com=True,",
    "                                fix_orientation=True, fix_symmetry='c1')",
    "activate(mol)",
};

}  // namespace

void FileIO::write_gau_mol_com_HL(const std::string& path, int n, const int* atypes, const double* x,
                                  const std::string& title, const std::string& chk, const std::string& route,
                                  int memory, int /*nodes*/, int nprocs, const std::string& append) const {
    write_qc_input(path, [&](TextWriter& out) {
        out.printf("%%chk=%s.chk\n", chk.c_str());
        out.printf("%%mem=%dMB\n", memory);
        out.printf("%%nprocs=%d\n", nprocs);
        out.printf("#P %s IOp(3/33=1,5/33=2) Pop=full nosymm\n", route.c_str());
        out.line();
        out.line(title);
        out.line();
        out.line("0 1");
        atom_lines(out, n, atypes, x);
        out.line();
        out.write(append);
    });
}

void FileIO::write_gau_mol_com_RE(const std::string& path, int n, const int* atypes, const double* x,
                                  const std::string& title, const std::string& chk, const std::string& charge_mult,
                                  const std::string& route, int memory, int /*nodes*/, int nprocs,
                                  const std::string& append, bool geom_from_chk) const {
    write_qc_input(path, [&](TextWriter& out) {
        out.printf("%%mem=%dMB\n", memory);
        out.printf("%%nprocs=%d\n", nprocs);
        out.printf("%%chk=%s.chk\n", chk.c_str());
        out.printf("#P opt freq %s Pop=full nosymm\n", route.c_str());
        out.line("scf=(maxcycle=100,xqc)");
        // A charged state started from the neutral checkpoint takes geometry and guess from it.
        if (geom_from_chk) out.line("Geom=Check Guess=Read");
        out.line();
        out.line(title);
        out.line();
        out.line(charge_mult);
        if (geom_from_chk) {
            out.line();
            return;
        }
        atom_lines(out, n, atypes, x);
        out.line();
        out.write(append);
    });
}

void FileIO::write_orca_mol_inp_HL(const std::string& path, int n, const int* atypes, const double* x, int memory,
                                   int nprocs, const std::string& method, const std::string& basis,
                                   const std::string& append) const {
    write_qc_input(path, [&](TextWriter& out) {
        orca_header(out, "SP", method, basis, memory, nprocs);
        for (const char* l : {"%output", "  PrintLevel=Normal", "  Print[ P_Basis       ] 2",
                              "  Print[ P_Overlap     ] 1", "  Print[ P_OrbEn       ] 1", "  Print[ P_MOs         ] 1",
                              "end"})
            out.line(l);
        out.line();
        out.line("*xyz 0 1");
        atom_lines(out, n, atypes, x);
        out.line("*");
        out.write(append);
    });
}

void FileIO::write_orca_mol_inp_RE(const std::string& path, int n, const int* atypes, const double* x, int memory,
                                   int nprocs, const std::string& charge_mult, const std::string& method,
                                   const std::string& basis, const std::string& append) const {
    write_qc_input(path, [&](TextWriter& out) {
        orca_header(out, "opt freq", method, basis, memory, nprocs);
        out.printf("*xyz %s\n", charge_mult.c_str());
        atom_lines(out, n, atypes, x);
        out.line("*");
        out.write(append);
    });
}

void FileIO::write_orca_four_point_inp(const std::string& path, const std::string& geometry_xyz, int memory,
                                       int nprocs, const std::string& charge_mult, const std::string& method,
                                       const std::string& basis, const std::string& append) const {
    write_qc_input(path, [&](TextWriter& out) {
        orca_header(out, "SP", method, basis, memory, nprocs);
        out.printf("*xyzfile %s %s\n", charge_mult.c_str(), geometry_xyz.c_str());
        out.write(append);
    });
}

void FileIO::write_qchem_four_point_inp(const std::string& path, int n, const int* atypes, const double* x,
                                        const std::string& charge_mult, const std::string& method,
                                        const std::string& basis, const std::string& append) const {
    write_qc_input(path, [&](TextWriter& out) {
        out.line("$molecule");
        out.line(charge_mult);
        atom_lines(out, n, atypes, x);
        out.line("$end");
        out.line();
        qchem_rem(out, "SP", method, basis, {});
        out.write(append);
    });
}

void FileIO::write_qchem_mol_inp_HL(const std::string& path, int n, const int* atypes, const double* x,
                                    int /*memory*/, int /*nprocs*/, const std::string& method,
                                    const std::string& basis, const std::string& append) const {
    write_qc_input(path, [&](TextWriter& out) {
        out.line("$molecule");
        out.line("0 1");
        atom_lines(out, n, atypes, x);
        out.line("$end");
        out.line();
        qchem_rem(out, "SP", method, basis, {"gui             2"});
        out.write(append);
    });
}

void FileIO::write_qchem_mol_inp_RE(const std::string& path, int n, const int* atypes, const double* x,
                                    int /*memory*/, int /*nprocs*/, const std::string& charge_mult,
                                    const std::string& method, const std::string& basis,
                                    const std::string& append) const {
    write_qc_input(path, [&](TextWriter& out) {
        out.line("$molecule");
        out.line(charge_mult);
        atom_lines(out, n, atypes, x);
        out.line("$end");
        out.line();
        qchem_rem(out, "opt", method, basis, {});
        // The frequency job reads the optimised geometry of the first job.
        out.line("@@@");
        out.line();
        out.line("$molecule");
        out.line("  read");
        out.line("$end");
        out.line();
        qchem_rem(out, "freq", method, basis, {"iprint          10000000", "gui             2"});
        out.write(append);
    });
}

void FileIO::write_psi4_mol_inp_HL(const std::string& path, int n, const int* atypes, const double* x, int memory,
                                   const std::string& method, const std::string& basis,
                                   const std::string& append) const {
    write_qc_input(path, [&](TextWriter& out) {
        out.printf("memory %d MB\n\n", memory);
        psi4_molecule(out, "0 1", n, atypes, x);
        psi4_options(out, "0 1", basis, append);
        out.printf("e, wfn = energy('%s', return_wfn=True)\n", method.c_str());
        out.printf("fchk(wfn, '%s.fchk')\n", file_stem(path).c_str());
    });
}

void FileIO::write_psi4_mol_inp_RE(const std::string& path, int n, const int* atypes, const double* x, int memory,
                                   const std::string& charge_mult, const std::string& method,
                                   const std::string& basis, const std::string& append) const {
    write_qc_input(path, [&](TextWriter& out) {
        const char* m = method.c_str();
        out.printf("memory %d MB\n\n", memory);
        psi4_molecule(out, charge_mult, n, atypes, x);
        psi4_options(out, charge_mult, basis, append);
        out.printf("optimize('%s')\n", m);
        // psi4 1.3 tries its analytic Hessian for any SCF reference and stops on an open shell: name the
        // finite differences of gradients there.
        const bool open_shell = psi4_open_shell(charge_mult);
        if (open_shell) out.line("# Open shell: the Hessian by finite differences of analytic gradients");
        out.printf("e, wfn_freq = frequency('%s', %sreturn_wfn=True)\n", m, open_shell ? "dertype=1, " : "");
        // A finite-difference Hessian leaves neither orbitals nor the optimised energy last in the
        // output: one more single point at the optimised geometry gives both.
        out.printf("e, wfn = energy('%s', return_wfn=True)\n", m);
        out.printf("fchk_file = '%s.fchk'\n", file_stem(path).c_str());
        out.line("fchk(wfn, fchk_file)");
        for (const char* l : kPsi4HessianAppend) out.line(l);
    });
}

void FileIO::write_psi4_four_point_inp(const std::string& path, const std::string& geometry_fchk, int memory,
                                       const std::string& charge_mult, const std::string& method,
                                       const std::string& basis, const std::string& append) const {
    write_qc_input(path, [&](TextWriter& out) {
        out.printf("memory %d MB\n\n", memory);
        int charge = 0, multiplicity = 1;
        std::sscanf(charge_mult.c_str(), "%d %d", &charge, &multiplicity);
        out.printf("geometry_file = '%s'\n", geometry_fchk.c_str());
        out.printf("charge = %d\nmultiplicity = %d\n\n", charge, multiplicity);
        for (const char* l : kPsi4FchkGeometry) out.line(l);
        out.line();
        psi4_options(out, charge_mult, basis, append);
        out.printf("e, wfn = energy('%s', return_wfn=True)\n", method.c_str());
        out.printf("fchk(wfn, '%s.fchk')\n", file_stem(path).c_str());
    });
}

}  // namespace krymo

// Quantum-chemistry input files: one writer per program and job family. The callers choose names,
// titles, charges and resources; these only lay out the text each program reads.
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
        out.printf("! SP %s %s NoUseSym\n", method.c_str(), basis.c_str());
        out.line();
        out.printf("%%MaxCore %d\n", memory);
        out.printf("%%PAL NPROCS %d END\n", nprocs);
        out.line();
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
        out.printf("! opt freq %s %s NoUseSym\n", method.c_str(), basis.c_str());
        out.line();
        out.printf("%%MaxCore %d\n", memory);
        out.printf("%%PAL NPROCS %d END\n", nprocs);
        out.line();
        out.printf("*xyz %s\n", charge_mult.c_str());
        atom_lines(out, n, atypes, x);
        out.line("*");
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

}  // namespace krymo

// The quantum-chemistry input writers: exact text for a small molecule (one- and two-letter
// symbols, a coordinate that widens its field, an append text), the short forms that catch
// misplaced lines (no atoms, no append text, geometry from the checkpoint), and the Python that
// psi4's inputs run after the calculation, run here on stand-ins of psi4's objects.
#include <sstream>

#include "golden.h"
#include "structure/fileio.h"

using namespace krymo_test;

namespace {

const std::vector<int> kTypes = {6, 17, 1};
const std::vector<double> kX = {0.0, 0.0, 0.0, 1.5, -0.25, 10000.12345, -1.23456, 2.0, 3.0};
const std::string kAppend = "! appended as stored\n\nlast line\n";

struct Writers : krymo::FileIO {
    // Each writer with the molecule (or none) into a file named after it; returns the text.
    std::string run(const std::string& which, bool atoms, const std::string& append, bool from_chk = false) {
        const int n = atoms ? 3 : 0;
        const int* t = kTypes.data();
        const double* x = kX.data();
        const std::string path = which + ".txt";
        if (which == "gau_HL") write_gau_mol_com_HL(path, n, t, x, "title-1", "chk-1", "b3lyp 6-31G(d)", 2048, 2, 16, append);
        if (which == "gau_RE") write_gau_mol_com_RE(path, n, t, x, "mol1", "re-mol1-anion", "-1 2", "b3lyp STO-3g", 2048, 2, 16, append, from_chk);
        if (which == "orca_HL") write_orca_mol_inp_HL(path, n, t, x, 1024, 4, "b3lyp", "def2-SVP", append);
        if (which == "orca_RE") write_orca_mol_inp_RE(path, n, t, x, 1024, 4, "1 2", "b3lyp", "def2-TZVP", append);
        if (which == "qchem_HL") write_qchem_mol_inp_HL(path, n, t, x, 1024, 4, "b3lyp", "6-31G*", append);
        if (which == "qchem_RE") write_qchem_mol_inp_RE(path, n, t, x, 1024, 4, "0 1", "b3lyp", "6-31G", append);
        if (which == "psi4_HL") write_psi4_mol_inp_HL(path, n, t, x, 1024, "b3lyp", "6-31G(d)", append);
        if (which == "psi4_RE") write_psi4_mol_inp_RE(path, n, t, x, 1024, "-1 2", "pbe0", "sto-3g", append);
        if (which == "psi4_4P") write_psi4_four_point_inp(path, "re-mol1-neutral.fchk", 1024, "1 2", "pbe0", "sto-3g", append);
        return read_file(path);
    }
};

}  // namespace

TEST(QcInputWriters, EachWriterLaysOutTheMoleculeAndTheAppendText) {
    ScopedStudyDir dir;
    Writers w;
    for (const char* which :
         {"gau_HL", "gau_RE", "orca_HL", "orca_RE", "qchem_HL", "qchem_RE", "psi4_HL", "psi4_RE", "psi4_4P"}) {
        SCOPED_TRACE(which);
        expect_golden(w.run(which, true, kAppend), std::string("qc_inputs/") + which + ".txt");
    }
}

TEST(QcInputWriters, NoAtomsNoAppendAndGeometryFromCheckpoint) {
    ScopedStudyDir dir;
    Writers w;
    // Without atoms the files stay complete: the charge line is followed by what follows the atoms.
    // Without append text a file ends with the empty line after the atoms or after the last block.
    // A charged state read from the neutral checkpoint has neither atoms nor append text.
    expect_golden("gau_HL without atoms:\n" + w.run("gau_HL", false, "") + "orca_HL without atoms:\n" +
                      w.run("orca_HL", false, "") + "gau_HL without append text:\n" + w.run("gau_HL", true, "") +
                      "qchem_RE without append text:\n" + w.run("qchem_RE", true, "") +
                      "gau_RE from the checkpoint:\n" + w.run("gau_RE", true, kAppend, true),
                  "qc_inputs/short_forms.txt");
}

TEST(QcInputWriters, Psi4InputsAppendTheHessianAndReadTheGeometryOfAnotherState) {
    if (run_command(python3_exe() + " -c pass").status != 0) GTEST_SKIP() << "python3 is not installed";
    ScopedStudyDir dir;
    Writers w;
    // The RE input after its calculations: a 7x7 Hessian H[i][j] = 10 i + j (+1e-3), appended to the fchk.
    const std::string re = w.run("psi4_RE", true, "");
    const size_t calc = re.find("optimize(");
    ASSERT_NE(calc, std::string::npos);
    write_file("re.py", read_file(data_path("structure/psi4_stub_hessian.py")) + re.substr(calc));
    ASSERT_EQ(run_command(python3_exe() + " re.py").status, 0);
    // The lower triangle of H, five values a line.
    expect_golden(read_file("psi4_RE.fchk"), "qc_inputs/psi4_RE_hessian.fchk");

    // The four-point input builds its molecule from the other state's fchk arrays (bohr).
    const std::string fp = w.run("psi4_4P", true, "");
    write_file("re-mol1-neutral.fchk", read_file(data_path("structure/re-mol1-neutral.fchk")));
    // The psi4 keyword lines are not Python: they stay out.
    std::string py, l;
    std::istringstream lines(fp);
    while (std::getline(lines, l))
        if (l.rfind("memory", 0) != 0 && l.rfind("set ", 0) != 0) py += l + "\n";
    write_file("fp.py", read_file(data_path("structure/psi4_stub_molecule.py")) + py);
    const CommandResult r = run_command(python3_exe() + " fp.py");
    ASSERT_EQ(r.status, 0) << r.output;
    expect_golden(r.output, "qc_inputs/psi4_4P_molecule.txt");
}

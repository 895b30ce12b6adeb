// The six quantum-chemistry input writers: exact text for a small molecule (one- and two-letter
// symbols, a coordinate that widens its field, an append text), and the short forms that catch
// misplaced lines: no atoms, no append text, geometry from the checkpoint.
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
        return read_file(path);
    }
};

}  // namespace

TEST(QcInputWriters, EachWriterLaysOutTheMoleculeAndTheAppendText) {
    ScopedStudyDir dir;
    Writers w;
    for (const char* which : {"gau_HL", "gau_RE", "orca_HL", "orca_RE", "qchem_HL", "qchem_RE"}) {
        SCOPED_TRACE(which);
        expect_golden(w.run(which, true, kAppend), std::string("qc_inputs/") + which + ".txt");
    }
}

TEST(QcInputWriters, NoAtomsNoAppendAndGeometryFromCheckpoint) {
    ScopedStudyDir dir;
    Writers w;
    // Without atoms the files stay complete: the charge line is followed by what follows the atoms.
    EXPECT_EQ(w.run("gau_HL", false, ""), "%chk=chk-1.chk\n%mem=2048MB\n%nprocs=16\n"
                                          "#P b3lyp 6-31G(d) IOp(3/33=1,5/33=2) Pop=full nosymm\n\ntitle-1\n\n0 1\n\n");
    const std::string orca = w.run("orca_HL", false, "");
    EXPECT_EQ(orca.substr(orca.find("end\n")), "end\n\n*xyz 0 1\n*\n");
    // Without append text a file ends with the empty line after the atoms or after the last block.
    const std::string gau = w.run("gau_HL", true, "");
    EXPECT_EQ(gau.substr(gau.size() - 8), "3.0000\n\n");
    const std::string qchem = w.run("qchem_RE", true, "");
    EXPECT_EQ(qchem.substr(qchem.size() - 27), "sym_ignore      true\n$end\n\n");
    // A charged state read from the neutral checkpoint has neither atoms nor append text.
    EXPECT_EQ(w.run("gau_RE", true, kAppend, true),
              "%mem=2048MB\n%nprocs=16\n%chk=re-mol1-anion.chk\n#P opt freq b3lyp STO-3g Pop=full nosymm\n"
              "scf=(maxcycle=100,xqc)\nGeom=Check Guess=Read\n\nmol1\n\n-1 2\n\n");
}

TEST(QcInputWriters, UnwritableInputStopsTheRunAsAStructureFile) {
    ScopedStudyDir dir;
    Writers w;
    // A folder where the input belongs: the file cannot be put in place.
    ASSERT_EQ(std::system("mkdir -p gau_HL.txt/keep"), 0);
    const krymo::FatalError e = expect_fatal([&] { w.run("gau_HL", true, ""); });
    EXPECT_EQ(e.unit, "fileio");
    EXPECT_EQ(e.status, 255);
    EXPECT_EQ(e.err_text, "Failed to open output file gau_HL.txt\n");
}

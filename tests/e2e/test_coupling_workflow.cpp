// The study's own get_transint.py runs the real coupling tool on outputs of every HL job it prepared:
// the prepared monomer and dimer inputs must share atoms in frame and order, the pair list must
// follow neighbor.dat, and the representatives must serve every pair. The engine outputs are written
// from each input's atoms with synthetic orbitals (qc_writers.h).
#include <random>

#include "e2e_study.h"
#include "qcpost/qc_writers.h"

using namespace krymo_test;

namespace {

// Atoms of a Gaussian input: the lines after the charge and multiplicity line, up to a blank line.
Wavefunction atoms_of_input(const std::string& text) {
    Wavefunction w;
    std::istringstream in(text);
    std::string line;
    bool atoms = false;
    while (std::getline(in, line)) {
        if (!atoms) {
            atoms = line == "0 1";
            continue;
        }
        std::istringstream f(line);
        std::string el;
        double x[3];
        if (!(f >> el >> x[0] >> x[1] >> x[2])) break;
        w.atomic_numbers.push_back(krymo::find_element_index_from_name(el));
        for (double v : x) w.coords_bohr.push_back(v / 0.529177210903);
    }
    return w;
}

// Three functions per atom with an orthonormal basis and seeded random orbitals; a dimer's overlap
// couples its two halves.
void synthesize(Wavefunction& w, int half, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1, 1);
    w.nbasis = 3 * w.natoms();
    w.overlap = Eigen::MatrixXd::Identity(w.nbasis, w.nbasis);
    for (int i = 0; i < half; ++i)
        for (int j = half; j < w.nbasis; ++j) w.overlap(i, j) = w.overlap(j, i) = 0.02 * u(rng);
    Eigen::MatrixXd m(w.nbasis, w.nbasis);
    for (int j = 0; j < w.nbasis; ++j)
        for (int i = 0; i < w.nbasis; ++i) m(i, j) = u(rng);
    const Eigen::MatrixXd q = Eigen::HouseholderQR<Eigen::MatrixXd>(m).householderQ();
    w.alpha = Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd>(w.overlap).operatorInverseSqrt() * q;
    // A valence-like spread of orbital energies keeps the couplings within what the rates accept.
    w.alpha_energies = Eigen::VectorXd::LinSpaced(w.nbasis, -1.0, 0.2);
}

}  // namespace

TEST(CouplingWorkflow, GetTransintRunsTheToolOnEveryPreparedPair) {
    KRYMO_NEED_PYTHON3();
    ScopedStudyDir dir;
    const CommandResult prep = prepare_naphthalene("  sched_type = local\n  compute_engine = 1\n  qc_exe = g09\n"
                                                   "  HL_unique_mol = 1\n  lattice_cutoff = 2.8\n  chargetype = a\n");
    ASSERT_EQ(prep.status, 0) << prep.output;
    // Monomers first: a dimer's halves are its monomers' sizes.
    int files = 0;
    unsigned seed = 1;
    for (const std::string prefix : {"uc_mol", "nei_mol", "2mol"})
        for (const std::string& name : list_dir("HL")) {
            if (name.rfind(prefix, 0) != 0 || name.size() < 4 || name.substr(name.size() - 4) != ".com") continue;
            Wavefunction w = atoms_of_input(read_file("HL/" + name));
            ASSERT_GT(w.natoms(), 0) << name;
            synthesize(w, prefix == "2mol" ? 3 * w.natoms() / 2 : 0, seed++);
            write_file("HL/" + name.substr(0, name.size() - 4) + ".log", gaussian_log_text(w));
            ++files;
        }
    ASSERT_GT(files, 2);
    ASSERT_TRUE(install_stubs(real_tools({"qcpost_coupling.exe"})));
    const CommandResult r = run_command(stub_env(dir.path()) + "python scr/get_transint.py");
    ASSERT_EQ(r.status, 0) << r.output;
    // Rows in neighbor.dat order: the reader of the rates refuses any other.
    krymo::hopsim::RunFolder f;
    f.load();
    ASSERT_FALSE(f.pairs().empty());
    for (const char* v : {"data/VL.dat", "data/VH.dat"})
        EXPECT_NO_THROW(krymo::hopsim::read_pair_values(v, f.pairs(), false)) << v << "\n" << read_file(v);
    // Unique pairs: fewer dimer runs than pairs, each representative's value on every pair it serves.
    const std::string report = read_file("data/transint.dat");
    EXPECT_NE(report.find("dimer projection (Gaussian)"), std::string::npos) << report;
    std::map<std::string, std::string> value_of_dimer;
    std::istringstream rep(report);
    for (std::string line; std::getline(rep, line);) {
        if (line[0] == '#') continue;
        std::istringstream in(line);
        std::vector<std::string> w;
        for (std::string s; in >> s;) w.push_back(s);
        ASSERT_EQ(w.size(), 15u) << line;
        const std::string key = w[14] + " " + w[5];
        if (!value_of_dimer.count(key)) value_of_dimer[key] = w[12];
        EXPECT_EQ(value_of_dimer[key], w[12]) << line;
    }
    EXPECT_LT(value_of_dimer.size(), 2 * f.pairs().size());
}

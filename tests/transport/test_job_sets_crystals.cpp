// Job sets of real crystals: every input the lists call for, pair geometry, unique inputs equal to the
// plain ones, and runners that mark and submit exactly the jobs that exist.
#include <algorithm>
#include <cmath>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "structure/elements.h"
#include "transport/transport_fixture.h"

using namespace krymo_test;
using krymo::Engine;
using krymo::format_string;

namespace {

const char* const kCrystals[] = {"benzene", "naphthalene", "quinacridone_beta", "thioquinacridone",
                                 "tipge_pentacene_hb", "tipge_pentacene_ss", "tipge_pentacene_bw", "cl4_tips_pentacene", "ibuprofen",
                                 "paracetamol_form1", "androstenetrione_diester_zprime2", "iodo_tamoxifen_analogue"};

std::set<std::string> files_in(const std::string& dir) {
    const std::vector<std::string> names = list_dir(dir);
    return {names.begin(), names.end()};
}

struct Atom { std::string symbol; double x[3]; };

// The atoms of an input of any engine: the lines after the neutral charge line up to the block's end.
std::vector<Atom> atoms_of(const std::string& path) {
    std::istringstream in(read_file(path));
    std::string line;
    while (std::getline(in, line) && line != "0 1" && line != "*xyz 0 1") {}
    std::vector<Atom> atoms;
    while (std::getline(in, line) && !line.empty() && line != "*" && line != "$end") {
        Atom a;
        std::istringstream w(line);
        w >> a.symbol >> a.x[0] >> a.x[1] >> a.x[2];
        atoms.push_back(a);
    }
    return atoms;
}

// Inputs the lists call for.
std::set<std::string> expected_HL(const TestTransport& t, bool unique, const char* ext) {
    std::set<std::string> s;
    if (unique) {
        for (int m : t.HL_unique_mols) s.insert(format_string("uc_mol-%d.%s", m, ext));
        for (int g : t.HL_unique_pairs)
            for (const char* stem : {"nei_mol", "2mol"}) s.insert(format_string("%s-%d.%s", stem, g, ext));
    } else {
        for (int m = 1; m <= t.nmols_uc; ++m) s.insert(format_string("uc_mol-%d.%s", m, ext));
        for (int i = 0; i < t.nmols_uc; ++i)
            for (int k = 1; k <= t.nnei[i]; ++k)
                for (const char* stem : {"nei_mol", "2mol"}) s.insert(format_string("%s-%d-%d.%s", stem, i + 1, k, ext));
    }
    return s;
}

std::set<std::string> expected_RE(const TestTransport& t, bool unique, bool gaussian) {
    std::vector<int> mols = t.RE_unique_mols;
    if (!unique) {
        mols.clear();
        for (int m = 1; m <= t.nmols_uc; ++m) mols.push_back(m);
    }
    std::set<std::string> s;
    // The optimised states, then the four-point single points every engine writes.
    for (int m : mols)
        for (const char* st : {"neutral", "cation", "anion", "neutral_hN", "cation_nC", "neutral_eN", "anion_nC"})
            s.insert(format_string("re-mol%d-%s.%s", m, st, gaussian ? "com" : "inp"));
    return s;
}

// Pair (i, k): the root's atoms where it sits, then atoms whose centre of mass is the listed image's.
void expect_pair_geometry(const TestTransport& t, int i, int k, const std::vector<Atom>& atoms) {
    const int ni = t.mol_natoms[i], j = t.nei_mol_ids[i][k];
    ASSERT_EQ(atoms.size(), static_cast<size_t>(ni + t.mol_natoms[j]));
    double com[3] = {0, 0, 0}, mass = 0;
    for (size_t p = 0; p < atoms.size(); ++p) {
        const bool root = static_cast<int>(p) < ni;
        const int type = root ? t.mol_atypes[i][p] : t.mol_atypes[j][p - ni];
        ASSERT_EQ(atoms[p].symbol, krymo::element_symbol(type));
        for (int d = 0; d < 3; ++d) {
            if (root) EXPECT_NEAR(atoms[p].x[d], t.mol_x[i][3 * p + d], 1e-4);
            else com[d] += krymo::find_element_mass_from_index(type) * atoms[p].x[d];
        }
        if (!root) mass += krymo::find_element_mass_from_index(type);
    }
    for (int d = 0; d < 3; ++d) EXPECT_NEAR(com[d] / mass, t.nei_com_x[i][3 * k + d], 1e-3) << "pair " << i + 1 << "-" << k + 1;
}

// Runner lines: touched markers in order, and the job named by each submit line.
void runner_lines(const std::string& text, std::vector<std::string>& touched, std::vector<std::string>& submitted) {
    static const std::regex touch("os\\.system\\(\"touch [^ ]*/(RUN/[^\"]+)\"\\)");
    static const std::regex submit("os\\.system\\(.qsub \\.\\./jobs/([^ ]+)\\.pbs.\\)");
    std::istringstream in(text);
    std::string line;
    std::smatch m;
    while (std::getline(in, line)) {
        if (std::regex_match(line, m, touch)) touched.push_back(m[1]);
        if (std::regex_match(line, m, submit)) submitted.push_back(m[1]);
    }
}

// The markers a job script removes: one per member of an array ("#PBS -t" list or range).
std::set<std::string> markers_removed(const std::string& script) {
    static const std::regex rm("rm -f [^ ]*/(RUN/[^ \n]+)");
    static const std::regex members("#PBS -t ([0-9,\\-]+)");
    std::smatch m;
    const std::string text = read_file(script);
    EXPECT_TRUE(std::regex_search(text, m, rm)) << script;
    const std::string marker = m[1];
    std::set<std::string> out;
    if (!std::regex_search(text, m, members)) return {marker};
    const std::string base = marker.substr(0, marker.rfind("-${PBS_ARRAYID}"));
    std::istringstream list(m[1].str());
    std::string item;
    while (std::getline(list, item, ',')) {
        const size_t dash = item.find('-');
        const int lo = std::stoi(item.substr(0, dash)), hi = dash == std::string::npos ? lo : std::stoi(item.substr(dash + 1));
        for (int k = lo; k <= hi; ++k) out.insert(format_string("%s-%d", base.c_str(), k));
    }
    return out;
}

void expect_runners_match_jobs() {
    std::vector<std::string> touched, submitted;
    for (const std::string& f : files_in("scr")) runner_lines(read_file("scr/" + f), touched, submitted);
    std::set<std::string> jobs;
    for (const std::string& f : files_in("jobs")) jobs.insert(f.substr(0, f.rfind('.')));
    EXPECT_EQ(std::set<std::string>(submitted.begin(), submitted.end()), jobs);
    EXPECT_EQ(submitted.size(), jobs.size()) << "a job submitted twice";
    std::set<std::string> removed;
    for (const std::string& j : jobs)
        for (const std::string& m : markers_removed("jobs/" + j + ".pbs")) removed.insert(m);
    EXPECT_EQ(std::set<std::string>(touched.begin(), touched.end()), removed);
}

class RealCrystalJobSets : public ::testing::TestWithParam<const char*> {};

TEST_P(RealCrystalJobSets, EveryCalculationHasItsInputAndEveryJobItsStanza) {
    const Engine engines[] = {Engine::Gaussian, Engine::Orca, Engine::Qchem};
    std::map<std::string, std::vector<Atom>> plain_pairs;  // Gaussian pair atoms, by file name
    for (bool unique : {false, true})
        for (Engine e : engines)
            for (bool array : {false, true}) {
                SCOPED_TRACE(format_string("engine %d unique %d array %d", static_cast<int>(e), unique, array));
                ScopedStudyDir dir;
                TestTransport t;
                prepare_crystal(t, GetParam());
                t.sched_job_array = array;
                t.HL_unique_uc_mol = t.HL_unique_nei_mol = t.HL_unique_pair = t.RE_unique = unique;
                t.write_qc_job_sets(e);
                const char* ext = e == Engine::Gaussian ? "com" : "inp";
                EXPECT_EQ(files_in("HL"), expected_HL(t, unique, ext));
                EXPECT_EQ(files_in("RE"), expected_RE(t, unique, e == Engine::Gaussian));
                expect_runners_match_jobs();
                // Pairs: geometry checked once; every other input of a pair has the same atoms.
                for (int i = 0, g = 0; i < t.nmols_uc; ++i)
                    for (int k = 0; k < t.nnei[i]; ++k) {
                        ++g;
                        const std::string key = format_string("2mol-%d-%d", i + 1, k + 1);
                        const std::string file = unique ? format_string("2mol-%d", g) : key;
                        if (!path_exists("HL/" + file + "." + ext)) continue;
                        const std::vector<Atom> atoms = atoms_of("HL/" + file + "." + ext);
                        if (!unique && e == Engine::Gaussian && !array) {
                            expect_pair_geometry(t, i, k, atoms);
                            plain_pairs[key] = atoms;
                        } else {
                            ASSERT_EQ(atoms.size(), plain_pairs[key].size()) << file;
                            for (size_t p = 0; p < atoms.size(); ++p)
                                for (int d = 0; d < 3; ++d) EXPECT_EQ(atoms[p].x[d], plain_pairs[key][p].x[d]);
                        }
                    }
            }
}

INSTANTIATE_TEST_SUITE_P(Crystals, RealCrystalJobSets, ::testing::ValuesIn(kCrystals),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

}  // namespace

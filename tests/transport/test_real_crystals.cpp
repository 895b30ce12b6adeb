// Real (mostly oblique) crystals: the neighbour files and the -rmin report do not depend on the thread
// count or on the search method, and the list equals an independent calculation over all atom pairs of all
// images. (Pair inputs, runners and job scripts are pinned on the small cell of the job-set tests.)
#include <cmath>
#include <set>
#include <tuple>

#include "transport/transport_fixture.h"

using namespace krymo_test;

namespace {

const char* const kCrystals[] = {"benzene", "naphthalene", "quinacridone_beta", "thioquinacridone",
                                 "tipge_pentacene_hb", "tipge_pentacene_ss", "tipge_pentacene_bw", "cl4_tips_pentacene",
                                 "ibuprofen", "paracetamol_form1", "androstenetrione_diester_zprime2",
                                 "iodo_tamoxifen_analogue"};

// Plain loops over every atom pair of every image, sharing nothing with the search: the listed
// entries are exactly the images with an atom pair closer than the cutoff (their order by centre
// distance is pinned on the small cells).
void expect_all_pairs_list(const TestTransport& t, double cutoff, int n) {
    const int nm = t.nmols_uc;
    auto shift = [&](int r, double a, double b, double c) {
        return t.cif_lattice_vectors[r][0] * a + t.cif_lattice_vectors[r][1] * b + t.cif_lattice_vectors[r][2] * c;
    };
    std::vector<std::vector<double>> cart(nm);  // Cartesian atoms of the home-cell molecules
    for (int i = 0; i < nm; ++i)
        for (size_t p = 0; p < t.mol_x_s[i].size(); p += 3) {
            const double* f = &t.mol_x_s[i][p];
            for (int r = 0; r < 3; ++r) cart[i].push_back(shift(r, f[0], f[1], f[2]));
        }
    // True when some atom pair of molecule i and image (j; a, b, c) is closer than the cutoff.
    auto touches = [&](int i, int j, int a, int b, int c) {
        const double s[3] = {shift(0, a, b, c), shift(1, a, b, c), shift(2, a, b, c)};
        for (size_t p = 0; p < cart[i].size(); p += 3)
            for (size_t q = 0; q < cart[j].size(); q += 3) {
                double d2 = 0;
                for (int r = 0; r < 3; ++r) d2 += std::pow(cart[j][q + r] + s[r] - cart[i][p + r], 2);
                if (d2 < cutoff * cutoff) return true;
            }
        return false;
    };
    for (int i = 0; i < nm; ++i) {
        std::set<std::tuple<int, int, int, int>> expected, listed;
        for (int a = -n; a <= n; ++a)
            for (int b = -n; b <= n; ++b)
                for (int c = -n; c <= n; ++c)
                    for (int j = 0; j < nm; ++j)
                        if ((j != i || a || b || c) && touches(i, j, a, b, c)) expected.insert({j, a, b, c});
        for (int k = 0; k < t.nnei[i]; ++k) {
            const int* cell = &t.nei_cindex[i][3 * k];
            listed.insert({t.nei_mol_ids[i][k], cell[0], cell[1], cell[2]});
        }
        EXPECT_EQ(static_cast<size_t>(t.nnei[i]), listed.size()) << "duplicate entries, root " << i + 1;
        EXPECT_FALSE(expected.empty());
        EXPECT_TRUE(listed == expected) << "root " << i + 1 << ": " << listed.size() << " listed, " << expected.size()
                                        << " expected";
    }
}

// Every neighbour file of one run and the -rmin report, concatenated.
std::string run(const std::string& file, double cutoff, int n, bool pruned, int threads, bool check) {
    std::string all;
    with_threads(threads, [&] {
        ScopedStudyDir dir;
        TestTransport t;
        t.read_data_cif(data_path("crystals/" + file + ".cif"), false);
        t.mol_data_source = 2;
        t.read_crystal_strcuture_files(false, false);
        t.calc_x_com();
        t.set_search(cutoff, n);
        t.set_pruned_neighbor_search(pruned);
        t.data_mol_output_level = 2;
        t.build_neighbor_list(false, false);
        if (check) expect_all_pairs_list(t, cutoff, n);
        t.output_neighbor_data();
        all = read_file("data/neighbor.dat");
        for (int m = 1; m <= t.nmols_uc; ++m)
            for (const char* f : {"data/mol%d_neighbors.cif", "data/mol%d_neighbors_mid.cif"})
                all += read_file(krymo::format_string(f, m));
        all += capture_stdout([&] { t.find_neighbor_molecules_min_distance(false); });
    });
    return all;
}

class RealCrystals : public ::testing::TestWithParam<const char*> {};

TEST_P(RealCrystals, AllPairsListAndSameFilesWhateverTheThreadsAndTheSearch) {
    for (const auto& s : {std::make_pair(4.0, 3), std::make_pair(6.5, 1)}) {
        const std::string ref = run(GetParam(), s.first, s.second, false, 1, true);
        for (bool pruned : {false, true})
            for (int threads : {1, 3})
                if (pruned || threads != 1)
                    EXPECT_TRUE(run(GetParam(), s.first, s.second, pruned, threads, false) == ref)
                        << "cutoff " << s.first << ", pruned " << pruned << ", threads " << threads;
    }
}

INSTANTIATE_TEST_SUITE_P(Crystals, RealCrystals, ::testing::ValuesIn(kCrystals),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

}  // namespace

// Real crystals: the neighbour files do not depend on the thread count or on the search method,
// and the list equals an independent calculation over all atom pairs of all images.
#include <algorithm>
#include <cmath>
#include <set>
#include <tuple>

#include "structure/elements.h"
#include "util/text.h"
#include "transport/transport_fixture.h"

using krymo_test::TestTransport;

namespace {

const char* const kCrystals[] = {"benzene.cif",
                                 "naphthalene.cif",
                                 "quinacridone_beta.cif",
                                 "thioquinacridone.cif",
                                 "tipge_pentacene_hb.cif",
                                 "tipge_pentacene_ss.cif",
                                 "cl4_tips_pentacene.cif",
                                 "ibuprofen.cif",
                                 "paracetamol_form1.cif",
                                 "androstenetrione_diester_zprime2.cif",
                                 "iodo_tamoxifen_analogue.cif"};

struct Search {
    double cutoff;
    int n;
};
const Search kSearches[] = {{4.0, 3}, {6.5, 1}};

class RealCrystalNeighbors : public ::testing::TestWithParam<const char*> {};

// Every neighbour file of one run, concatenated, and the -rmin report.
struct RunOutput {
    std::string files, rmin;
};

RunOutput run(const std::string& file, const Search& s, bool pruned, int threads) {
    RunOutput r;
    krymo_test::with_threads(threads, [&] {
        krymo_test::ScopedStudyDir dir;
        TestTransport t;
        t.load_crystal(file);
        t.set_search(s.cutoff, s.n, s.n, s.n);
        t.set_pruned_neighbor_search(pruned);
        t.data_mol_output_level = 2;
        t.build_neighbor_list(false, false);
        t.output_neighbor_data();
        r.files = krymo_test::read_file("data/neighbor.dat");
        for (int m = 1; m <= t.nmols_uc; ++m)
            for (const char* f : {"data/mol%d_neighbors.cif", "data/mol%d_neighbors_mid.cif"})
                r.files += krymo_test::read_file(krymo::format_string(f, m));
        r.rmin = krymo_test::capture_stdout([&] { t.find_neighbor_molecules_min_distance(false); });
    });
    return r;
}

}  // namespace

TEST_P(RealCrystalNeighbors, SameFilesWhateverTheThreadsAndTheSearch) {
    for (const Search& s : kSearches) {
        const RunOutput ref = run(GetParam(), s, false, 1);
        ASSERT_NE(ref.files.find(" # root"), std::string::npos);
        for (bool pruned : {false, true})
            for (int threads : {1, 3}) {
                if (!pruned && threads == 1) continue;
                const RunOutput o = run(GetParam(), s, pruned, threads);
                EXPECT_TRUE(o.files == ref.files) << "pruned " << pruned << ", threads " << threads;
                EXPECT_EQ(o.rmin, ref.rmin) << "pruned " << pruned;
            }
    }
}

TEST_P(RealCrystalNeighbors, ListEqualsAllAtomPairsOfAllImages) {
    for (const Search& s : kSearches) {
        TestTransport t;
        t.load_crystal(GetParam());
        t.set_search(s.cutoff, s.n, s.n, s.n);
        t.build_neighbor_list(false, false);
        const int nm = t.nmols_uc;
        double L[3][3];
        for (int r = 0; r < 3; ++r)
            for (int k = 0; k < 3; ++k) L[r][k] = t.cif_lattice_vectors[r][k];
        // Cartesian atoms and centres of mass of the home-cell molecules.
        std::vector<std::vector<double>> cart(nm);
        std::vector<std::array<double, 3>> com(nm);
        for (int i = 0; i < nm; ++i) {
            double m = 0, c[3] = {0, 0, 0};
            for (int p = 0; p < t.mol_natoms[i]; ++p) {
                const double* f = &t.mol_x_s[i][3 * p];
                const double w = krymo::find_element_mass_from_index(t.get_atom_type(i, p));
                m += w;
                for (int r = 0; r < 3; ++r) {
                    const double x = L[r][0] * f[0] + L[r][1] * f[1] + L[r][2] * f[2];
                    cart[i].push_back(x);
                    c[r] += w * x;
                }
            }
            for (int r = 0; r < 3; ++r) com[i][r] = c[r] / m;
        }
        for (int i = 0; i < nm; ++i) {
            std::set<std::tuple<int, int, int, int>> expected, listed;
            for (int a = -s.n; a <= s.n; ++a)
                for (int b = -s.n; b <= s.n; ++b)
                    for (int c = -s.n; c <= s.n; ++c)
                        for (int j = 0; j < nm; ++j) {
                            if (j == i && a == 0 && b == 0 && c == 0) continue;
                            double shift[3];
                            for (int r = 0; r < 3; ++r) shift[r] = L[r][0] * a + L[r][1] * b + L[r][2] * c;
                            bool close = false;
                            for (size_t p = 0; p < cart[i].size() && !close; p += 3)
                                for (size_t q = 0; q < cart[j].size() && !close; q += 3) {
                                    double d2 = 0;
                                    for (int r = 0; r < 3; ++r) {
                                        const double d = cart[j][q + r] + shift[r] - cart[i][p + r];
                                        d2 += d * d;
                                    }
                                    close = d2 < s.cutoff * s.cutoff;
                                }
                            if (close) expected.insert({j, a, b, c});
                        }
            double last = 0;
            for (int k = 0; k < t.nnei[i]; ++k) {
                const int j = t.nei_mol_ids[i][k];
                const int* cell = &t.nei_cindex[i][3 * k];
                listed.insert({j, cell[0], cell[1], cell[2]});
                double d2 = 0;
                for (int r = 0; r < 3; ++r) {
                    const double d = com[j][r] + L[r][0] * cell[0] + L[r][1] * cell[1] + L[r][2] * cell[2] - com[i][r];
                    d2 += d * d;
                }
                EXPECT_GE(std::sqrt(d2), last - 1e-9) << "root " << i + 1 << " entry " << k + 1;
                last = std::sqrt(d2);
                // The neighbour sees the root back through the opposite cell.
                const int* back = nullptr;
                for (int q = 0; q < t.nnei[j]; ++q)
                    if (t.nei_mol_ids[j][q] == i && t.nei_cindex[j][3 * q] == -cell[0] &&
                        t.nei_cindex[j][3 * q + 1] == -cell[1] && t.nei_cindex[j][3 * q + 2] == -cell[2])
                        back = &t.nei_cindex[j][3 * q];
                EXPECT_NE(back, nullptr) << "root " << i + 1 << " entry " << k + 1;
            }
            EXPECT_EQ(static_cast<size_t>(t.nnei[i]), listed.size()) << "duplicate entries, root " << i + 1;
            EXPECT_TRUE(listed == expected) << GetParam() << " root " << i + 1 << ": " << listed.size() << " listed, "
                                            << expected.size() << " expected";
            EXPECT_FALSE(expected.empty());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Crystals, RealCrystalNeighbors, ::testing::ValuesIn(kCrystals),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string n = info.param;
                             n = n.substr(0, n.find('.'));
                             return n;
                         });

// Growth of the neighbour analysis with the size of generated molecule-mode boxes (the amorphous
// films of mobility studies): time per stage for each box of the series, the growth exponent of
// each stage between two boxes, and on the smaller boxes a check that every fast search gives what
// the straightforward version gives.
//
//   bench_box_scaling [largest=21952] [molecule file: CIF (first molecule) or MOL, default
//                     tests/data/crystals/naphthalene.cif] [check up to=4096 molecules] [seed=1]
//
// The series is 1331, 2744, 4096, 10648 and 21952 molecules (cubes of 11, 14, 16, 22 and 28), cut
// at `largest`; a larger `largest` (such as 97336, a cube of 46) is added as the last box. Boxes use
// lattice_cutoff 4 A and neighbor_scell 1 1 1.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_support.h"
#include "molecule_box.h"
#include "transport/pair_map.h"
#include "transport/reference_algorithms.h"
#include "util/fatal.h"
#include "util/text.h"

namespace {

using krymo_bench::seconds;

// The pair map runs inside "pair frames+map"; it is timed again on its own and left out of the total.
const char* const kStages[] = {"neighbour list", "neighbor.dat", "pair frames+map", "RE molecules", "HL molecules",
                               "(pair map)"};
constexpr int kNStages = 6;

struct Row {
    int molecules = 0;
    int pairs = 0;
    double t[kNStages] = {0, 0, 0, 0, 0, 0};
    double total() const {
        double s = 0;
        for (int k = 0; k + 1 < kNStages; ++k) s += t[k];
        return s;
    }
};

// The fast searches against the straightforward versions on one box, after its stages ran.
bool agrees_with_straightforward(const krymo_bench::BoxTransport& box) {
    bool ok = true;
    auto check = [&](bool same, const char* what) {
        if (!same) std::printf("    DIFFERENT: %s\n", what);
        ok = ok && same;
    };
    const krymo::ImageSearch search = box.image_search();
    std::vector<krymo::ImageCandidate> fast, every;
    bool same_candidates = true;
    for (int i = 0; i < box.molecules() && same_candidates; ++i) {
        search.candidates(i, fast);
        search.candidates_testing_every_molecule(i, every);
        same_candidates = fast.size() == every.size();
        for (size_t t = 0; same_candidates && t < fast.size(); ++t) same_candidates = fast[t].order == every[t].order;
    }
    check(same_candidates, "candidate images (so the neighbour list)");

    std::vector<int> re(box.molecules()), hl(box.molecules());
    for (int i = 0; i < box.molecules(); ++i) re[i] = hl[i] = i + 1;
    krymo_test::overwrite_in_order(re, [&](int i, int j) { return box.RE_mols_if_the_same(i, j); });
    krymo_test::overwrite_in_order(hl, [&](int i, int j) { return box.HL_mols_if_the_same(i, j); });
    check(re == box.re_index(), "RE molecule indexes");
    check(hl == box.hl_index(), "HL molecule indexes");

    bool same_numbers = true;
    const std::vector<int>& nnei = box.neighbour_counts();
    for (int i = 0; i < box.molecules(); ++i)
        for (int k = 1; k <= nnei[i]; ++k)
            same_numbers = same_numbers && box.pair_number(i, k) == krymo_test::global_pair_number_by_scan(nnei, i, k);
    check(same_numbers, "global pair numbers");

    std::vector<double> eig;
    for (const auto& row : box.pair_eigenvalues()) eig.insert(eig.end(), row.begin(), row.end());
    std::vector<int> map, plain;
    krymo::build_pair_map(eig.data(), static_cast<int>(eig.size() / 3), map);
    krymo_test::pair_map_quadratic(eig.data(), static_cast<int>(eig.size() / 3), plain);
    check(map == plain, "pair map");
    return ok;
}

void print_exponents(const Row& a, const Row& b) {
    const double dn = std::log(static_cast<double>(b.molecules) / a.molecules);
    std::printf("%-21s", krymo::format_string("%d -> %d", a.molecules, b.molecules).c_str());
    for (int s = 0; s < kNStages; ++s) std::printf(" %15.2f", std::log(b.t[s] / a.t[s]) / dn);
    std::printf(" %8.2f\n", std::log(b.total() / a.total()) / dn);
}

}  // namespace

int main(int argc, char** argv) {
    const int largest = argc > 1 ? std::atoi(argv[1]) : 21952;
    const std::string here = __FILE__;
    const std::string data = here.substr(0, here.find_last_of('/')) + "/../tests/data/";
    const std::string mol = argc > 2 && argv[2][0] != '\0' ? argv[2] : data + "crystals/naphthalene.cif";
    const int check_up_to = argc > 3 ? std::atoi(argv[3]) : 4096;
    const unsigned seed = argc > 4 ? static_cast<unsigned>(std::atoi(argv[4])) : 1u;
    std::vector<int> series;
    for (int n : {1331, 2744, 4096, 10648, 21952})
        if (n <= largest) series.push_back(n);
    if (largest > 21952) series.push_back(largest);

    char scratch[] = "/tmp/krymo_bench_XXXXXX";
    if (mkdtemp(scratch) == nullptr || chdir(scratch) != 0) return 1;
    bool all_same = true;
    std::vector<Row> rows;
    try {
        krymo_bench::BoxTransport reader;
        const krymo_bench::Molecule m = reader.load_molecule(mol);
        std::printf("boxes of %zu-atom molecules, cutoff 4.0 A, neighbor_scell 1 1 1; times in seconds\n",
                    m.types.size());
        std::printf("%-8s %8s", "mols", "pairs");
        for (const char* s : kStages) std::printf(" %15s", s);
        std::printf(" %8s  %s\n", "total", "straightforward");
        for (int n : series) {
            krymo_bench::BoxTransport box;
            box.make_box(m, n, seed);
            box.set_search(4.0, 1, 1, 1);
            Row r;
            r.molecules = box.molecules();
            krymo_bench::without_stdout([&] {
                r.t[0] = seconds([&] { box.build_neighbor_list(false, false); });
                r.t[1] = seconds([&] { box.output_neighbor_data(); });
                r.t[2] = seconds([&] {
                    box.calc_HL_uc_mol_eigval_eigvec();
                    box.calc_HL_2mol_eigval_eigvec_and_unique_pairs();
                });
                r.t[3] = seconds([&] { box.RE_check_unitcell_same_mols(false); });
                r.t[4] = seconds([&] { box.HL_check_unitcell_unique_mols(false); });
            });
            std::vector<double> eig;
            for (const auto& row : box.pair_eigenvalues()) eig.insert(eig.end(), row.begin(), row.end());
            std::vector<int> map;
            r.t[5] = seconds([&] { krymo::build_pair_map(eig.data(), static_cast<int>(eig.size() / 3), map); });
            r.pairs = box.pairs();
            std::printf("%-8d %8d", r.molecules, r.pairs);
            for (double t : r.t) std::printf(" %15.4f", t);
            std::printf(" %8.3f  ", r.total());
            std::fflush(stdout);
            if (n <= check_up_to) {
                const bool same = agrees_with_straightforward(box);
                all_same = all_same && same;
                std::printf("%s\n", same ? "identical" : "DIFFERENT");
            } else {
                std::printf("not checked\n");
            }
            rows.push_back(r);
        }
    } catch (const krymo::FatalError& e) {
        return krymo::report_fatal(e);
    }

    std::printf("\ngrowth exponent (time ~ molecules^x)\n%-21s", "boxes");
    for (const char* s : kStages) std::printf(" %15s", s);
    std::printf(" %8s\n", "total");
    for (size_t t = 1; t < rows.size(); ++t) print_exponents(rows[t - 1], rows[t]);
    for (size_t t = 0; t < rows.size(); ++t)
        if (rows[t].molecules == 4096 && rows.back().molecules > 4096) print_exponents(rows[t], rows.back());

    std::string cmd = std::string("rm -rf '") + scratch + "'";
    if (std::system(cmd.c_str()) != 0) return 1;
    return all_same ? 0 : 1;
}

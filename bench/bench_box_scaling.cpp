// Growth of the neighbour analysis with the size of generated molecule-mode boxes (the amorphous
// films of mobility studies): time per stage for each box of the series, the growth exponent of
// each stage between two boxes, and on the smaller boxes a check that every fast search gives what
// the straightforward version gives.
//
//   bench_box_scaling [largest=21952] [molecule file: CIF (first molecule) or MOL, default
//                     tests/data/crystals/naphthalene.cif] [check up to=4096 molecules] [seed=1]
//                     [repeats=3]
//
// Each stage's times are the best of the repeats. Wall times are what a user waits for; processor
// times (all threads) stay steady when other work shares the machine, so the exponents are given
// for both.
// The series is 1331, 2744, 4096, 10648 and 21952 molecules (cubes of 11, 14, 16, 22 and 28), cut
// at `largest`; a larger `largest` (such as 97336, a cube of 46) is added as the last box. Boxes use
// lattice_cutoff 4 A and neighbor_scell 1 1 1.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "bench_support.h"
#include "molecule_box.h"
#include "transport/pair_map.h"
#include "transport/reference_algorithms.h"
#include "util/fatal.h"
#include "util/text.h"
#include "util/usage.h"

namespace {

// The pair map runs inside "pair frames+map"; it is timed again on its own and left out of the total.
const char* const kStages[] = {"neighbour list", "neighbor.dat", "pair frames+map", "RE molecules", "HL molecules",
                               "(pair map)"};
constexpr int kNStages = 6;

struct Row {
    int molecules = 0;
    int pairs = 0;
    double wall[kNStages], cpu[kNStages];
    static double total(const double* t) {
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
    // Candidates from the grid against testing every molecule's sphere; the neighbours, in candidate
    // order, against the plain atom test of every one of those candidates. (Both lists are then
    // ordered by the same sort of the same distances.)
    const krymo::ImageSearch search = box.image_search();
    std::vector<krymo::ImageCandidate> fast, every;
    bool same_candidates = true, same_neighbours = true;
    const double rcut2 = 4.0 * 4.0;
    for (int i = 0; i < box.molecules(); ++i) {
        search.candidates(i, fast);
        search.candidates_testing_every_molecule(i, every);
        same_candidates = same_candidates && fast.size() == every.size();
        for (size_t t = 0; same_candidates && t < fast.size(); ++t) same_candidates = fast[t].order == every[t].order;
        std::set<std::vector<int>> listed, plain;
        for (int k = 0; k < box.neighbour_counts()[i]; ++k) listed.insert(box.neighbour(i, k));
        for (const krymo::ImageCandidate& c : every)
            if (box.check_if_molecule_within_rcut(i, c.j, c.cell, rcut2, nullptr))
                plain.insert({c.j, c.cell[0], c.cell[1], c.cell[2]});
        same_neighbours = same_neighbours && listed == plain;
    }
    check(same_candidates, "candidate images");
    check(same_neighbours, "neighbour entries");

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

// Growth exponents between successive boxes, and from 4096 molecules to 21952 and to a larger last box.
void print_exponents(const std::vector<Row>& rows, const char* what, double (Row::*times)[kNStages]) {
    std::printf("\ngrowth exponent of %s (time ~ molecules^x)\n%-21s", what, "boxes");
    for (const char* s : kStages) std::printf(" %15s", s);
    std::printf(" %8s\n", "total");
    auto line = [&](const Row& a, const Row& b) {
        const double dn = std::log(static_cast<double>(b.molecules) / a.molecules);
        const double *ta = a.*times, *tb = b.*times;
        std::printf("%-21s", krymo::format_string("%d -> %d", a.molecules, b.molecules).c_str());
        for (int s = 0; s < kNStages; ++s) std::printf(" %15.2f", std::log(tb[s] / ta[s]) / dn);
        std::printf(" %8.2f\n", std::log(Row::total(tb) / Row::total(ta)) / dn);
    };
    for (size_t t = 1; t < rows.size(); ++t) line(rows[t - 1], rows[t]);
    // The span of the target (4096 to 21952 molecules), and to a larger last box.
    const Row* from = nullptr;
    for (const Row& r : rows)
        if (r.molecules == 4096) from = &r;
    for (const Row& r : rows)
        if (from != nullptr && (r.molecules == 21952 || (&r == &rows.back() && r.molecules > 21952))) line(*from, r);
}

}  // namespace

int main(int argc, char** argv) {
    if (krymo::usage_requested(argc, argv)) {
        krymo::print_usage(
            "Usage: %s [largest=21952] [molecule file] [check up to=4096] [seed=1] [repeats=3]\n"
            "  Times the neighbour analysis on generated boxes up to `largest` molecules and checks the fast\n"
            "  searches against the straightforward ones up to `check up to` molecules.\n",
            argv[0]);
        return 0;
    }
    const int largest = krymo_bench::int_arg(argc, argv, 1, 21952);
    const std::string mol = krymo_bench::molecule_arg(argc, argv, 2, "naphthalene.cif");
    const int check_up_to = krymo_bench::int_arg(argc, argv, 3, 4096);
    const auto seed = static_cast<unsigned>(krymo_bench::int_arg(argc, argv, 4, 1));
    const int repeats = std::max(1, krymo_bench::int_arg(argc, argv, 5, 3));
    std::vector<int> series;
    for (int n : {1331, 2744, 4096, 10648, 21952})
        if (n <= largest) series.push_back(n);
    if (largest > 21952) series.push_back(largest);

    krymo_bench::ScratchDir scratch;
    if (!scratch.ok()) return 1;
    bool all_same = true;
    std::vector<Row> rows;
    try {
        krymo_bench::BoxTransport reader;
        const krymo_bench::Molecule m = reader.load_molecule(mol);
        std::printf("boxes of %zu-atom molecules, cutoff 4.0 A, neighbor_scell 1 1 1; times in seconds\n",
                    m.types.size());
        std::printf("%-8s %8s", "mols", "pairs");
        for (const char* s : kStages) std::printf(" %15s", s);
        std::printf(" %8s %8s  %s\n", "total", "cpu", "straightforward");
        for (int n : series) {
            krymo_bench::BoxTransport box;
            box.make_box(m, n, seed);
            box.set_search(4.0, 1, 1, 1);
            Row r;
            r.molecules = box.molecules();
            std::fill(r.wall, r.wall + kNStages, 1e30);
            std::fill(r.cpu, r.cpu + kNStages, 1e30);
            for (int rep = 0; rep < repeats; ++rep) {
                krymo_bench::Times t[kNStages];
                krymo_bench::without_stdout([&] {
                    t[0] = krymo_bench::timed([&] { box.build_neighbor_list(false, false); });
                    t[1] = krymo_bench::timed([&] { box.output_neighbor_data(); });
                    t[2] = krymo_bench::timed([&] {
                        box.calc_HL_uc_mol_eigval_eigvec();
                        box.calc_HL_2mol_eigval_eigvec_and_unique_pairs();
                    });
                    t[3] = krymo_bench::timed([&] { box.RE_check_unitcell_same_mols(false); });
                    t[4] = krymo_bench::timed([&] { box.HL_check_unitcell_unique_mols(false); });
                });
                std::vector<double> eig;
                for (const auto& row : box.pair_eigenvalues()) eig.insert(eig.end(), row.begin(), row.end());
                std::vector<int> map;
                t[5] = krymo_bench::timed(
                    [&] { krymo::build_pair_map(eig.data(), static_cast<int>(eig.size() / 3), map); });
                for (int s = 0; s < kNStages; ++s) {
                    r.wall[s] = std::min(r.wall[s], t[s].wall);
                    r.cpu[s] = std::min(r.cpu[s], t[s].cpu);
                }
            }
            r.pairs = box.pairs();
            std::printf("%-8d %8d", r.molecules, r.pairs);
            for (double t : r.wall) std::printf(" %15.4f", t);
            std::printf(" %8.3f %8.3f  ", Row::total(r.wall), Row::total(r.cpu));
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

    print_exponents(rows, "wall time", &Row::wall);
    print_exponents(rows, "processor time", &Row::cpu);
    return all_same ? 0 : 1;
}

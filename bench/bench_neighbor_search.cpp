// Pruned against straightforward neighbour search (and -rmin report, and pair map) on a generated
// molecule-mode box: times, ratio, and a check that both give the same bytes.
//
//   bench_neighbor_search [molecules=1000] [molecule file: CIF (first molecule) or MOL, default
//                         tests/data/crystals/quinacridone_beta.cif] [seed=1] [rmin molecules=200]
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_support.h"
#include "molecule_box.h"
#include "transport/pair_map.h"
#include "transport/reference_algorithms.h"
#include "util/fatal.h"
#include "util/files.h"
#include "util/usage.h"

namespace {

using krymo_bench::seconds;

// Builds the list with one method and returns neighbor.dat, written in a scratch directory.
std::string neighbor_file(krymo_bench::BoxTransport& box, bool pruned, double& time) {
    box.set_pruned_neighbor_search(pruned);
    time = seconds([&] { box.build_neighbor_list(false, false); });
    box.output_neighbor_data();
    std::vector<std::string> lines;
    krymo::read_lines("data/neighbor.dat", lines, true);
    std::string all;
    for (const std::string& l : lines) all += l;
    return all;
}

// Runs the -rmin report with one method and returns its text.
std::string rmin_report(krymo_bench::BoxTransport& box, bool pruned, double& time) {
    box.set_pruned_neighbor_search(pruned);
    std::fflush(stdout);
    char path[] = "/tmp/krymo_rmin_XXXXXX";
    const int fd = mkstemp(path);
    const int saved = dup(1);
    dup2(fd, 1);
    time = seconds([&] { box.find_neighbor_molecules_min_distance(false); });
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    close(fd);
    std::vector<std::string> lines;
    krymo::read_lines(path, lines, true);
    unlink(path);
    std::string all;
    for (const std::string& l : lines) all += l;
    return all;
}

}  // namespace

int main(int argc, char** argv) {
    if (krymo::usage_requested(argc, argv)) {
        krymo::print_usage(
            "Usage: %s [molecules=1000] [molecule file] [seed=1] [rmin molecules=200]\n"
            "  Times the pruned neighbour search against the straightforward one on a generated box.\n",
            argv[0]);
        return 0;
    }
    const int count = krymo_bench::int_arg(argc, argv, 1, 1000);
    const std::string mol = krymo_bench::molecule_arg(argc, argv, 2, "quinacridone_beta.cif");
    const auto seed = static_cast<unsigned>(krymo_bench::int_arg(argc, argv, 3, 1));
    const int rmin_count = krymo_bench::int_arg(argc, argv, 4, 200);
    krymo_bench::ScratchDir scratch;
    if (!scratch.ok()) return 1;
    try {
        krymo_bench::BoxTransport box;
        const krymo_bench::Molecule m = box.load_molecule(mol);
        box.make_box(m, count, seed);
        box.set_search(4.0, 1, 1, 1);
        std::printf("box: %d molecules of %d atoms, edge %.2f A, cutoff 4.0 A, neighbor_scell 1 1 1\n",
                    box.molecules(), box.atoms_per_molecule(), box.box_edge());

        double t_pruned = 0, t_plain = 0;
        const std::string pruned = neighbor_file(box, true, t_pruned);
        const int pairs = box.pairs();
        const std::string plain = neighbor_file(box, false, t_plain);
        std::printf("neighbour search: pruned %.3f s, straightforward %.3f s, ratio %.1f, %d pairs, neighbor.dat %s\n",
                    t_pruned, t_plain, t_plain / t_pruned, pairs, pruned == plain ? "identical" : "DIFFERENT");

        // Pair map on the box's pairs.
        box.calc_HL_uc_mol_eigval_eigvec();
        krymo_bench::without_stdout([&] { box.calc_HL_2mol_eigval_eigvec_and_unique_pairs(); });
        std::vector<double> eig;
        for (const auto& row : box.pair_eigenvalues()) eig.insert(eig.end(), row.begin(), row.end());
        const int P = static_cast<int>(eig.size() / 3);
        std::vector<int> fast, slow;
        const double t_map = seconds([&] { krymo::build_pair_map(eig.data(), P, fast); });
        const double t_quad = seconds([&] { krymo_test::pair_map_quadratic(eig.data(), P, slow); });
        std::printf("pair map (%d pairs): binned %.4f s, quadratic %.3f s, ratio %.1f, maps %s\n", P, t_map, t_quad,
                    t_quad / t_map, fast == slow ? "identical" : "DIFFERENT");

        // -rmin report on a smaller box of the same kind (its straightforward form is serial).
        if (rmin_count > 0) {
            krymo_bench::BoxTransport small;
            small.make_box(m, rmin_count, seed);
            small.set_search(4.0, 1, 1, 1);
            double r_pruned = 0, r_plain = 0;
            const std::string a = rmin_report(small, true, r_pruned);
            const std::string b = rmin_report(small, false, r_plain);
            std::printf("-rmin report (%d molecules): pruned %.3f s, straightforward %.3f s, ratio %.1f, report %s\n",
                        rmin_count, r_pruned, r_plain, r_plain / r_pruned, a == b ? "identical" : "DIFFERENT");
        }
    } catch (const krymo::FatalError& e) {
        return krymo::report_fatal(e);
    }
    return 0;
}

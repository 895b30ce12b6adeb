// Scale of the crystal reader on a 20,000-atom P1 cell (a 5 x 5 x 2 block of the herringbone
// TIPGe-pentacene cell written as one P1 CIF): reading with symmetry expansion, overlap removal
// and molecule separation, then whole-molecule repair. Prints the times of the fast searches and
// of the plain scans they replace, and the ratio.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_support.h"
#include "structure/cell_search.h"
#include "structure/fileio.h"
#include "structure/structure_reference.h"
#include "util/usage.h"

using namespace krymo;

namespace {

struct Cell : FileIO {
    using FileIO::bond_dis_scale;
    using FileIO::cif_atypes;
    using FileIO::cif_lattice_vectors;
    using FileIO::cif_x_s;
    using FileIO::mol_data_source;
    using FileIO::mol_natoms;
    using FileIO::mol_atypes;
    using FileIO::mol_x_s;
    using FileIO::natoms_cif;
    using FileIO::nmols_uc;
    using FileIO::sep_mol_atoms;
    using FileIO::sep_mol_natoms;
    Cell() {
        neighbor_scell[0] = neighbor_scell[1] = 5;  // a 5 x 5 x 2 block in the supercell file
        neighbor_scell[2] = 2;
    }
};

double seconds_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (krymo::usage_requested(argc, argv)) {
        krymo::print_usage(
            "Usage: %s [CIF file=tests/data/crystals/tipge_pentacene_hb.cif]\n"
            "  Times the crystal reader and the whole-molecule repair on a large P1 cell.\n",
            argv[0]);
        return 0;
    }
    // The crystal comes from the source tree next to this file, or from the first argument.
    std::string root = __FILE__;
    root = root.substr(0, root.rfind("/bench/"));
    const std::string src = argc > 1 ? argv[1] : root + "/tests/data/crystals/tipge_pentacene_hb.cif";
    krymo_bench::ScratchDir scratch;
    if (!scratch.ok()) return 1;

    Cell unit;
    unit.read_data_cif(src, false);
    unit.mol_data_source = 2;
    unit.read_crystal_strcuture_files(false, false);
    unit.write_supercell_cif("p1.cif", unit.nmols_uc, unit.mol_natoms, unit.mol_atypes, unit.mol_x_s, 5, 5, 2);

    // Fast path: everything the program does with the file.
    Cell big;
    auto t0 = std::chrono::steady_clock::now();
    big.read_data_cif("p1.cif", false);
    const double t_read = seconds_since(t0);
    // Keep the separated cell for the plain scans before the repair changes nothing of it.
    const std::vector<double> x_s = big.cif_x_s;
    const std::vector<int> atypes = big.cif_atypes;
    big.mol_data_source = 2;
    t0 = std::chrono::steady_clock::now();
    big.read_crystal_strcuture_files(false, false);
    const double t_repair = seconds_since(t0);
    std::printf("P1 cell: %d atoms, %d molecules\n", big.natoms_cif, big.nmols_uc);
    std::printf("fast:  read + expand + overlap + separate %.3f s, whole-molecule repair %.3f s\n", t_read, t_repair);

    // The same searches as plain scans.
    std::vector<double> radii;
    for (int a : atypes) radii.push_back(find_element_radius_from_index_nw(a));
    t0 = std::chrono::steady_clock::now();
    const std::vector<char> removed = krymo_ref::overlapped_atoms(x_s);
    const double r_overlap = seconds_since(t0);
    t0 = std::chrono::steady_clock::now();
    const std::vector<char> removed_fast = find_overlapped_atoms(x_s);
    const double f_overlap = seconds_since(t0);

    std::vector<int> counts, atoms;
    t0 = std::chrono::steady_clock::now();
    krymo_ref::separate(x_s, radii, big.bond_dis_scale, big.cif_lattice_vectors, counts, atoms);
    const double r_sep = seconds_since(t0);
    std::vector<int> fcounts, fatoms;
    t0 = std::chrono::steady_clock::now();
    separate_bonded_molecules(x_s, radii, big.bond_dis_scale, big.cif_lattice_vectors, fcounts, fatoms);
    const double f_sep = seconds_since(t0);

    double r_rep = 0, f_rep = 0;
    bool same_repair = true;
    size_t o = 0;
    for (int n : counts) {
        std::vector<double> x, r;
        for (int j = 0; j < n; ++j) {
            r.push_back(find_element_radius_from_index_nw(atypes[atoms[o + j]]));
            for (int k = 0; k < 3; ++k) x.push_back(x_s[3 * atoms[o + j] + k]);
        }
        std::vector<double> fast = x;
        t0 = std::chrono::steady_clock::now();
        krymo_ref::grow_whole(n, r.data(), big.bond_dis_scale, big.cif_lattice_vectors, x.data());
        r_rep += seconds_since(t0);
        t0 = std::chrono::steady_clock::now();
        grow_whole_molecule(n, r.data(), big.bond_dis_scale, big.cif_lattice_vectors, fast.data());
        f_rep += seconds_since(t0);
        same_repair = same_repair && fast == x;
        o += n;
    }

    const bool same = removed == removed_fast && counts == fcounts && atoms == fatoms && same_repair;
    std::printf("%-12s %12s %12s %10s\n", "search", "plain (s)", "fast (s)", "ratio");
    std::printf("%-12s %12.3f %12.4f %10.1f\n", "overlap", r_overlap, f_overlap, r_overlap / f_overlap);
    std::printf("%-12s %12.3f %12.4f %10.1f\n", "separation", r_sep, f_sep, r_sep / f_sep);
    std::printf("%-12s %12.3f %12.4f %10.1f\n", "repair", r_rep, f_rep, r_rep / f_rep);
    std::printf("%-12s %12.3f %12.4f %10.1f\n", "total", r_overlap + r_sep + r_rep, f_overlap + f_sep + f_rep,
                (r_overlap + r_sep + r_rep) / (f_overlap + f_sep + f_rep));
    std::printf("identical results: %s\n", same ? "yes" : "NO");
    return same ? 0 : 1;
}

// Generator of molecule-mode boxes like those cut from film simulations: copies of one real molecule
// at random orientations, one per slot of a jittered cubic grid, with the volume per molecule of an
// amorphous organic film and no two atoms of different molecules closer than a contact distance
// across the periodic box.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "transport/image_search.h"
#include "transport/transport.h"
#include "util/files.h"

namespace krymo_bench {

struct Molecule {
    std::vector<int> types;
    std::vector<double> x;  // Cartesian, Angstrom, centred on the geometric centre
};

// The run object filled directly with the generated box (the same members the MOL reader fills).
class BoxTransport : public krymo::Transport {
public:
    // Reads molecule `index` (0-based) of a CIF crystal or the molecule of a MOL file.
    Molecule load_molecule(const std::string& path, int index = 0) {
        if (path.size() > 4 && path.compare(path.size() - 4, 4, ".cif") == 0) {
            read_data_cif(path, false);
            mol_data_source = 2;
        } else {
            mol_data_source = 1;
            nmols_uc = 1;
            mol_files = {path};
            latt_vectors[0][0] = latt_vectors[1][1] = latt_vectors[2][2] = 100.0;
        }
        read_crystal_strcuture_files(false, false);
        Molecule m;
        m.types = mol_atypes[index];
        m.x = mol_x[index];
        double c[3] = {0, 0, 0};
        const int n = static_cast<int>(m.types.size());
        for (int p = 0; p < n; ++p)
            for (int k = 0; k < 3; ++k) c[k] += m.x[3 * p + k] / n;
        for (int p = 0; p < n; ++p)
            for (int k = 0; k < 3; ++k) m.x[3 * p + k] -= c[k];
        return m;
    }

    // Fills the run object with `count` copies in a cubic periodic box.
    void make_box(const Molecule& m, int count, unsigned seed, double volume_per_atom = 14.0, double contact = 1.9) {
        const int n = static_cast<int>(m.types.size());
        const double edge = std::cbrt(volume_per_atom * n * count);
        const int slots = static_cast<int>(std::ceil(std::cbrt(static_cast<double>(count))));
        const double spacing = edge / slots;
        std::mt19937 rng(seed);
        std::uniform_real_distribution<double> uni(0.0, 1.0);
        std::normal_distribution<double> gauss(0.0, 1.0);
        AtomGrid grid(edge, contact);

        std::vector<int> order(slots * slots * slots);
        for (size_t s = 0; s < order.size(); ++s) order[s] = static_cast<int>(s);
        std::shuffle(order.begin(), order.end(), rng);
        order.resize(count);
        std::sort(order.begin(), order.end());

        nmols_uc = 0;
        mol_natoms.clear();
        mol_atypes.clear();
        mol_x.clear();
        mol_x_s.clear();
        mol_files.clear();
        mol_ids.clear();
        std::vector<double> best, trial(3 * n);
        for (int s : order) {
            const double base[3] = {(s % slots + 0.5) * spacing, (s / slots % slots + 0.5) * spacing,
                                    (s / (slots * slots) + 0.5) * spacing};
            double best_gap = -1.0;
            for (int attempt = 0; attempt < 60 && best_gap < contact; ++attempt) {
                // Uniform random rotation from a normalised Gaussian quaternion.
                double q[4];
                double qn = 0;
                for (double& v : q) {
                    v = gauss(rng);
                    qn += v * v;
                }
                qn = std::sqrt(qn);
                for (double& v : q) v /= qn;
                const double w = q[0], a = q[1], b = q[2], c = q[3];
                const double R[3][3] = {{1 - 2 * (b * b + c * c), 2 * (a * b - c * w), 2 * (a * c + b * w)},
                                        {2 * (a * b + c * w), 1 - 2 * (a * a + c * c), 2 * (b * c - a * w)},
                                        {2 * (a * c - b * w), 2 * (b * c + a * w), 1 - 2 * (a * a + b * b)}};
                double centre[3];
                for (int k = 0; k < 3; ++k) centre[k] = base[k] + (uni(rng) - 0.5) * 0.3 * spacing;
                for (int p = 0; p < n; ++p)
                    for (int r = 0; r < 3; ++r)
                        trial[3 * p + r] = centre[r] + R[r][0] * m.x[3 * p] + R[r][1] * m.x[3 * p + 1] +
                                           R[r][2] * m.x[3 * p + 2];
                const double gap = grid.min_distance(trial);
                if (gap > best_gap) {
                    best_gap = gap;
                    best = trial;
                }
            }
            grid.add(best);
            push(m.types, best);
        }
        for (int r = 0; r < 3; ++r)
            for (int k = 0; k < 3; ++k) {
                latt_vectors[r][k] = r == k ? edge : 0.0;
                cif_lattice_vectors[r][k] = r == k ? edge : 0.0;
                latt_matrix_inv[r][k] = r == k ? 1.0 / edge : 0.0;
            }
        cell_latt[0] = cell_latt[1] = cell_latt[2] = edge;
        cell_latt[3] = cell_latt[4] = cell_latt[5] = 90.0;
        for (int i = 0; i < nmols_uc; ++i)
            for (size_t t = 0; t < mol_x[i].size(); ++t) mol_x_s[i][t] = mol_x[i][t] / edge;
        calc_x_com();
    }

    // Writes the box as a molecule-mode study folder: one MOL file per molecule and a krymo.inp that
    // names them with the box vectors and neighbor_scell 1 1 1.
    void write_study(const std::string& dir) const {
        krymo::create_directories(dir + "/mols");
        std::string names;
        for (int i = 0; i < nmols_uc; ++i) {
            const std::string name = "mols/" + mol_files[i];
            write_data_mol(dir + "/" + name, mol_natoms[i], mol_atypes[i].data(), mol_x[i].data());
            names += " " + name;
        }
        krymo::TextWriter inp(dir + "/krymo.inp");
        inp.printf("&transport\n");
        inp.printf("  molecule       = %d%s\n", nmols_uc, names.c_str());
        inp.printf("  vector_a       = %.6f 0 0\n  vector_b       = 0 %.6f 0\n  vector_c       = 0 0 %.6f\n",
                   cell_latt[0], cell_latt[0], cell_latt[0]);
        inp.printf("  lattice_cutoff = 4.0\n  neighbor_scell = 1 1 1\n/\n");
        inp.close();
    }

    void set_search(double cutoff, int na, int nb, int nc) {
        lattice_cutoff = cutoff;
        neighbor_scell[0] = na;
        neighbor_scell[1] = nb;
        neighbor_scell[2] = nc;
    }
    int molecules() const { return nmols_uc; }
    int atoms_per_molecule() const { return nmols_uc ? mol_natoms[0] : 0; }
    double box_edge() const { return cell_latt[0]; }
    int pairs() const { return total_pairs(); }
    const std::vector<std::vector<double>>& pair_eigenvalues() const { return pair_eigval; }
    const std::vector<int>& neighbour_counts() const { return nnei; }
    // Entry k of root i as (molecule, cell a, b, c).
    std::vector<int> neighbour(int i, int k) const {
        return {nei_mol_ids[i][k], nei_cindex[i][3 * k], nei_cindex[i][3 * k + 1], nei_cindex[i][3 * k + 2]};
    }
    int pair_number(int i, int k) const { return global_pair_number(i, k); }
    const std::vector<int>& re_index() const { return RE_uc_mol_index; }
    const std::vector<int>& hl_index() const { return HL_uc_mol_index; }
    // The candidate search that the neighbour stages build from the box.
    krymo::ImageSearch image_search() const {
        return krymo::ImageSearch(cif_lattice_vectors, mol_natoms, mol_x_s, neighbor_scell, lattice_cutoff);
    }

private:
    // Atoms already placed, binned by position for the contact test across the periodic box.
    class AtomGrid {
    public:
        AtomGrid(double edge, double bin) : edge_(edge), nb_(std::max(1, static_cast<int>(edge / bin))) {}
        void add(const std::vector<double>& x) {
            for (size_t p = 0; p < x.size(); p += 3) {
                bins_[key(bin_of(x[p]), bin_of(x[p + 1]), bin_of(x[p + 2]))].push_back(atoms_.size());
                atoms_.insert(atoms_.end(), {x[p], x[p + 1], x[p + 2]});
            }
        }
        // Smallest minimum-image distance from any atom of x to the placed atoms, capped at one bin.
        double min_distance(const std::vector<double>& x) const {
            const double cap = edge_ / nb_;
            double best2 = cap * cap;
            for (size_t p = 0; p < x.size(); p += 3) {
                const int b[3] = {bin_of(x[p]), bin_of(x[p + 1]), bin_of(x[p + 2])};
                for (int d0 = -1; d0 <= 1; ++d0)
                    for (int d1 = -1; d1 <= 1; ++d1)
                        for (int d2 = -1; d2 <= 1; ++d2) {
                            auto it = bins_.find(key(b[0] + d0, b[1] + d1, b[2] + d2));
                            if (it == bins_.end()) continue;
                            for (size_t a : it->second) {
                                double r2 = 0;
                                for (int k = 0; k < 3; ++k) {
                                    double d = x[p + k] - atoms_[a + k];
                                    d -= edge_ * std::round(d / edge_);
                                    r2 += d * d;
                                }
                                best2 = std::min(best2, r2);
                            }
                        }
            }
            return std::sqrt(best2);
        }

    private:
        int bin_of(double v) const { return static_cast<int>(std::floor(v / edge_ * nb_)); }
        long long key(int a, int b, int c) const {
            auto w = [&](int v) { return static_cast<long long>(((v % nb_) + nb_) % nb_); };
            return (w(a) * nb_ + w(b)) * nb_ + w(c);
        }
        double edge_;
        int nb_;
        std::vector<double> atoms_;
        std::unordered_map<long long, std::vector<size_t>> bins_;
    };

    void push(const std::vector<int>& types, const std::vector<double>& x) {
        ++nmols_uc;
        mol_natoms.push_back(static_cast<int>(types.size()));
        mol_atypes.push_back(types);
        mol_x.push_back(x);
        mol_x_s.push_back(std::vector<double>(x.size(), 0.0));
        mol_files.push_back("mol" + std::to_string(nmols_uc) + ".mol");
        mol_ids.push_back(nmols_uc);
    }
};

}  // namespace krymo_bench

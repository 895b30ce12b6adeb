#include "qcpost/overlap_tools.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>

#include "qcpost/engine.h"
#include "qcpost/fchk.h"
#include "qcpost/pair_list.h"
#include "qcpost/tool_main.h"
#include "qcpost/wavefunction.h"
#include "structure/elements.h"
#include "transport/transport.h"
#include "util/files.h"
#include "util/text.h"

namespace krymo {
namespace qcpost {

namespace {

constexpr double kAngstromPerBohr = 0.529177210903;
// |C^T S C - 1| (or |C^T C - 1|) below this: the orbital is normalised that way.
constexpr double kNormTolerance = 1e-4;
// The site files print 6 decimals: centres agree to this (angstrom), inertia axes to this fraction.
constexpr double kCentreTolerance = 1e-3;
constexpr double kAxesTolerance = 1e-3;

const char kFchkOrbitalsUsage[] =
    "Usage: %s NAME.fchk [-orb] [-xyz] [-h]\n"
    "  Monomer data of the overlap (moo) mode, from a closed-shell run's formatted checkpoint file:\n"
    "    -orb  NAME.orb: the basis set (shells, exponents, contraction coefficients) and every orbital\n"
    "          (energy and coefficients) in the fchk's function order;\n"
    "    -xyz  NAME.xyz: the atoms (element, x y z in angstrom) the basis functions sit on.\n"
    "  At least one of -orb and -xyz. Shells above f are refused.\n";

const char kDimerOverlapUsage[] =
    "Usage: %s -batch trans_int_files.dat [-h]\n"
    "  Run in the study's data folder (overlap mode). Coupling of every neighbour pair from the two\n"
    "  monomers' frontier orbitals alone: t = E S_ab with E = -10 eV (Mori et al., Bull. Chem. Soc. Jpn.\n"
    "  57, 627 (1984)), S_ab the overlap of the orbitals with molecule B at its place in the crystal.\n"
    "  Reads the pair list, neighbor.dat, uc_H.inp / uc_L.inp, the site files moo_mol<i>_uc.pos /\n"
    "  moo_mol<i>_nei.pos, and uc_mol-<i>.orb / .xyz beside the list's monomer runs. Writes VH.dat (hole),\n"
    "  VL.dat (electron) in meV in neighbor.dat order, and the report transint.dat, only when every pair\n"
    "  succeeded. An order-of-magnitude estimate, not a dimer projection.\n";

std::string stem_of_fchk(const std::string& path) {
    const std::string ext = ".fchk";
    if (path.size() <= ext.size() || path.compare(path.size() - ext.size(), ext.size(), ext) != 0)
        usage_error(kFchkOrbitalsUsage, "qcpost_fchk_orbitals.exe",
                    format_string("\"%s\" does not end in .fchk", path.c_str()));
    return path.substr(0, path.size() - ext.size());
}

void write_text(const std::string& path, const std::string& text) {
    TextWriter out;
    open_output(out, path, kToolWriteFailure);
    out.write(text);
    close_output(out, kToolWriteFailure);
}

// --- the .xyz file ---

void read_xyz(const std::string& path, std::vector<int>& z, std::vector<double>& bohr) {
    std::vector<std::string> lines, w;
    if (!read_input_lines(path, kDataInput, "qcpost", lines, false))
        input_error(path, 0, "cannot open the coordinate file (written by qcpost_fchk_orbitals.exe -xyz)");
    int n = 0;
    if (lines.empty() || (split_to_words(lines[0], " \t\r", w), w.size() != 1) || !parse_whole_int(w[0], n) || n < 1)
        input_error(path, 1, "the number of atoms (an integer of at least 1) expected alone on the first line");
    if (static_cast<int>(lines.size()) < n + 2)
        input_error(path, static_cast<int>(lines.size()) + 1,
                    format_string("the file ends after %d atom lines; %d were announced",
                                  std::max(0, static_cast<int>(lines.size()) - 2), n));
    for (int a = 0; a < n; ++a) {
        const int line = a + 3;
        split_to_words(lines[static_cast<size_t>(a) + 2], " \t\r", w);
        const int e = w.size() == 4 ? find_element_index_from_name(w[0]) : -1;
        if (w.size() != 4 || e < 1 || element_symbol(e) != w[0])
            input_error(path, line, "\"element x y z\" expected (an element symbol and three coordinates in angstrom)");
        z.push_back(e);
        for (int k = 1; k <= 3; ++k) {
            char* end = nullptr;
            const double v = std::strtod(w[static_cast<size_t>(k)].c_str(), &end);
            if (*end != '\0' || !std::isfinite(v))
                input_error(path, line, format_string("coordinate \"%s\" is not a number",
                                                      printable_excerpt(w[static_cast<size_t>(k)], 40).c_str()));
            bohr.push_back(v / kAngstromPerBohr);
        }
    }
    for (size_t k = static_cast<size_t>(n) + 2; k < lines.size(); ++k) {
        split_to_words(lines[k], " \t\r", w);
        if (!w.empty()) input_error(path, static_cast<int>(k) + 1, format_string("more lines than the %d atoms announced", n));
    }
}

// Centre of mass (angstrom) and the inertia tensor of the site files (the preparation's convention).
void mass_frame(const MonomerOrbitals& m, double com[3], double tensor[9]) {
    std::vector<double> mass, x;
    for (int a = 0; a < static_cast<int>(m.atomic_numbers.size()); ++a) {
        mass.push_back(find_element_mass_from_index(m.atomic_numbers[static_cast<size_t>(a)]));
        for (int k = 0; k < 3; ++k) x.push_back(m.basis.centres_bohr[3 * static_cast<size_t>(a) + k] * kAngstromPerBohr);
    }
    double msum = 0;
    for (int k = 0; k < 3; ++k) com[k] = 0;
    for (size_t a = 0; a < mass.size(); ++a) {
        msum += mass[a];
        for (int k = 0; k < 3; ++k) com[k] += mass[a] * x[3 * a + static_cast<size_t>(k)];
    }
    for (int k = 0; k < 3; ++k) com[k] /= msum;
    Transport::calc_moment_of_inertia(static_cast<int>(mass.size()), x.data(), mass.data(), tensor);
}

// --- the site files ---

struct Site {
    int mol = 0;  // 1-based unit-cell molecule
    double com[3];
    double axes[9];  // rows: inertia axes
    std::string path;
    int line = 0;
};

std::vector<Site> read_sites(const std::string& path, int count) {
    DataLines in(path, "site file of the overlap mode (written by krymo_prepare with use_moo)");
    std::vector<Site> sites;
    std::vector<std::string> w;
    for (int k = 0; k < count; ++k) {
        in.must_take(w, format_string("the site of pair %d", k + 1));
        if (w.size() != 13 || w[0].compare(0, 7, "uc_mol-") != 0)
            in.fail("\"uc_mol-<i> x y z\" and the nine inertia axis components expected (13 fields)");
        Site s;
        s.mol = in.integer(w[0].substr(7), "the molecule number of uc_mol-<i>", 1);
        for (int c = 0; c < 3; ++c) s.com[c] = in.real(w[1 + static_cast<size_t>(c)], "a centre coordinate");
        for (int c = 0; c < 9; ++c) s.axes[c] = in.real(w[4 + static_cast<size_t>(c)], "an inertia axis component");
        s.path = path;
        s.line = in.line_no();
        sites.push_back(s);
    }
    if (in.take(w)) in.fail(format_string("more lines than the %d pairs of neighbor.dat", count));
    return sites;
}

// The orbitals must be in the crystal's frame (the generated jobs keep the input orientation): the
// site's inertia axes diagonalise the monomer's tensor, and for a unit-cell site the centres agree.
void check_frame(const MonomerOrbitals& m, const Site& site, bool same_centre) {
    double com[3], t[9];
    mass_frame(m, com, t);
    Eigen::Matrix3d tensor, axes;
    for (int k = 0; k < 9; ++k) {
        tensor(k / 3, k % 3) = t[k];
        axes(k / 3, k % 3) = site.axes[k];
    }
    const Eigen::Matrix3d d = axes * tensor * axes.transpose();
    double off = 0;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            if (i != j) off = std::max(off, std::fabs(d(i, j)));
    const double scale = tensor.cwiseAbs().maxCoeff();
    const double shift = std::sqrt(std::pow(com[0] - site.com[0], 2) + std::pow(com[1] - site.com[1], 2) +
                                   std::pow(com[2] - site.com[2], 2));
    if (off > kAxesTolerance * scale || (same_centre && shift > kCentreTolerance))
        input_error(site.path, site.line,
                    format_string("the atoms of %s are not in the crystal's frame (%s): the overlap mode places the "
                                  "orbitals by translation only; rerun the monomer with its input orientation kept "
                                  "(Gaussian: nosymm, as the generated jobs do)",
                                  m.xyz_path.c_str(),
                                  same_centre && shift > kCentreTolerance
                                      ? format_string("centre of mass %.4f A away from the site", shift).c_str()
                                      : "inertia axes differ from the site's"));
}

}  // namespace

// --- the files of one monomer ---

std::string orbital_file_text(const std::string& source, const Basis& basis, const Eigen::MatrixXd& coefs,
                              const Eigen::VectorXd& energies, int alpha_electrons) {
    std::string t = format_string(
        "# KRYMO orbital file from %s: basis set and molecular orbitals; the atoms are in the .xyz beside it\n",
        source.c_str());
    t += format_string("atoms %d\nbasis_functions %d\nshells %zu\norbitals %ld\nalpha_electrons %d\n", basis.natoms(),
                       basis.nbasis(), basis.shells.size(), static_cast<long>(coefs.cols()), alpha_electrons);
    for (size_t k = 0; k < basis.shells.size(); ++k) {
        const Shell& s = basis.shells[k];
        t += format_string("shell %zu %d %d %zu\n", k + 1, s.atom + 1, s.type, s.exponents.size());
        for (size_t p = 0; p < s.exponents.size(); ++p)
            t += s.type == -1 ? format_string(" %20.12e %20.12e %20.12e\n", s.exponents[p], s.coefs[p], s.p_coefs[p])
                              : format_string(" %20.12e %20.12e\n", s.exponents[p], s.coefs[p]);
    }
    for (long o = 0; o < coefs.cols(); ++o) {
        t += format_string("orbital %ld %.10e\n", o + 1, energies(o));
        for (long i = 0; i < coefs.rows(); ++i)
            t += format_string(" %17.10e%s", coefs(i, o), (i % 5 == 4 || i + 1 == coefs.rows()) ? "\n" : "");
    }
    return t;
}

std::string xyz_file_text(const std::string& title, const std::vector<int>& atomic_numbers,
                          const std::vector<double>& coords_bohr) {
    std::string t = format_string("%zu\n%s\n", atomic_numbers.size(), title.c_str());
    for (size_t a = 0; a < atomic_numbers.size(); ++a)
        t += format_string("%-2s %18.10f %18.10f %18.10f\n", element_symbol(atomic_numbers[a]).c_str(),
                           coords_bohr[3 * a] * kAngstromPerBohr, coords_bohr[3 * a + 1] * kAngstromPerBohr,
                           coords_bohr[3 * a + 2] * kAngstromPerBohr);
    return t;
}

MonomerOrbitals read_monomer(const std::string& stem) {
    MonomerOrbitals m;
    m.orb_path = stem + ".orb";
    m.xyz_path = stem + ".xyz";
    DataLines in(m.orb_path, "orbital file (written by qcpost_fchk_orbitals.exe -orb)");
    std::vector<std::string> w;
    auto count = [&](const char* key, int min) {
        in.must_take(w, format_string("\"%s <count>\"", key));
        if (w.size() != 2 || w[0] != key) in.fail(format_string("\"%s <count>\" expected", key));
        return in.integer(w[1], key, min);
    };
    const int natoms = count("atoms", 1), nbasis = count("basis_functions", 1), nshells = count("shells", 1),
              norb = count("orbitals", 1);
    m.alpha_electrons = count("alpha_electrons", 0);
    read_xyz(m.xyz_path, m.atomic_numbers, m.basis.centres_bohr);
    if (static_cast<int>(m.atomic_numbers.size()) != natoms)
        input_error(m.xyz_path, 1,
                    format_string("%zu atoms, but %s has %d: both files must come from the same fchk",
                                  m.atomic_numbers.size(), m.orb_path.c_str(), natoms));
    for (int k = 1; k <= nshells; ++k) {
        in.must_take(w, format_string("shell %d", k));
        if (w.size() != 5 || w[0] != "shell" || in.integer(w[1], "the shell number", 1) != k)
            in.fail(format_string("\"shell %d <atom> <type> <primitives>\" expected", k));
        Shell s;
        s.atom = in.integer(w[2], "the shell's atom", 1) - 1;
        int type = 0;
        if (!parse_whole_int(w[3], type)) in.fail("the shell type (an integer) expected");
        s.type = type;
        const int nprim = in.integer(w[4], "the number of primitives", 1);
        for (int p = 0; p < nprim; ++p) {
            in.must_take(w, format_string("primitive %d of shell %d", p + 1, k));
            if (w.size() != (s.type == -1 ? 3u : 2u))
                in.fail(s.type == -1 ? "\"exponent s_coefficient p_coefficient\" expected"
                                     : "\"exponent coefficient\" expected");
            s.exponents.push_back(in.real(w[0], "an exponent"));
            s.coefs.push_back(in.real(w[1], "a contraction coefficient"));
            if (s.type == -1) s.p_coefs.push_back(in.real(w[2], "a contraction coefficient"));
        }
        m.basis.shells.push_back(std::move(s));
    }
    check_basis(m.basis, m.orb_path);
    if (m.basis.nbasis() != nbasis)
        input_error(m.orb_path, 0,
                    format_string("the shells make %d basis functions, but the file announces %d", m.basis.nbasis(), nbasis));
    m.coefs.resize(nbasis, norb);
    m.energies.resize(norb);
    for (int o = 0; o < norb; ++o) {
        in.must_take(w, format_string("orbital %d", o + 1));
        if (w.size() != 3 || w[0] != "orbital" || in.integer(w[1], "the orbital number", 1) != o + 1)
            in.fail(format_string("\"orbital %d <energy>\" expected", o + 1));
        m.energies(o) = in.real(w[2], "the orbital energy");
        int i = 0;
        while (i < nbasis) {
            in.must_take(w, format_string("the coefficients of orbital %d", o + 1));
            if (w.size() > static_cast<size_t>(nbasis - i))
                in.fail(format_string("orbital %d: %d coefficients expected, more found", o + 1, nbasis));
            for (const std::string& v : w) m.coefs(i++, o) = in.real(v, "a coefficient");
        }
    }
    if (in.take(w)) in.fail(format_string("more lines than the %d orbitals announced", norb));
    return m;
}

Eigen::VectorXd normalised_orbital(const MonomerOrbitals& m, int orbital) {
    if (orbital < 1 || orbital > m.coefs.cols())
        input_error(m.orb_path, 0, format_string("orbital %d asked for, but the file holds orbitals 1 to %ld", orbital,
                                                 static_cast<long>(m.coefs.cols())));
    const Eigen::MatrixXd s = ao_overlap(m.basis, m.basis);
    const Eigen::VectorXd c = m.coefs.col(orbital - 1);
    const double in_basis = c.dot(s * c), plain = c.squaredNorm();
    if (std::fabs(in_basis - 1) < kNormTolerance) return c;
    if (std::fabs(plain - 1) < kNormTolerance) {
        const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eig(s);
        if (eig.eigenvalues().minCoeff() < 1e-8)
            input_error(m.orb_path, 0, "the basis is (nearly) linearly dependent: its overlap cannot be inverted");
        const Eigen::VectorXd inv_sqrt = eig.eigenvalues().cwiseSqrt().cwiseInverse();
        return eig.eigenvectors() * inv_sqrt.asDiagonal() * eig.eigenvectors().transpose() * c;
    }
    input_error(m.orb_path, 0,
                format_string("orbital %d has norm %.6f in its basis and %.6f as plain coefficients: neither is 1, "
                              "so the basis convention of the file is not understood",
                              orbital, in_basis, plain));
}

double orbital_overlap(const MonomerOrbitals& a, const Eigen::VectorXd& ca, const MonomerOrbitals& b,
                       const Eigen::VectorXd& cb, const Eigen::Vector3d& shift_b_bohr) {
    Basis moved = b.basis;
    for (size_t k = 0; k < moved.centres_bohr.size(); ++k) moved.centres_bohr[k] += shift_b_bohr(static_cast<long>(k % 3));
    return ca.dot(ao_overlap(a.basis, moved) * cb);
}

// --- qcpost_fchk_orbitals ---

int fchk_orbitals_main(int argc, char** argv) {
    return guarded([&]() {
        const char* tool = "qcpost_fchk_orbitals.exe";
        if (wants_help(argc, argv, kFchkOrbitalsUsage, tool)) return 0;
        std::string fchk;
        bool orb = false, xyz = false;
        for (int i = 1; i < argc; ++i) {
            const std::string a = argv[i];
            if (a == "-orb") orb = true;
            else if (a == "-xyz") xyz = true;
            else if (!a.empty() && a[0] != '-' && fchk.empty()) fchk = a;
            else usage_error(kFchkOrbitalsUsage, tool, format_string("unexpected argument \"%s\"", a.c_str()));
        }
        if (fchk.empty() || !(orb || xyz)) usage_error(kFchkOrbitalsUsage, tool, "an fchk file and -orb and/or -xyz are needed");
        const std::string stem = stem_of_fchk(fchk);
        const FchkFile f = read_fchk(fchk);
        const Wavefunction w = wavefunction_from_fchk(f);
        // Both texts are made before either file is written.
        std::string orb_text;
        if (orb) {
            if (w.beta.size() != 0)
                input_error(fchk, f.line("Beta MO coefficients"),
                            "an unrestricted run: the overlap mode takes the closed-shell orbitals of the neutral molecule");
            orb_text = orbital_file_text(fchk, basis_from_fchk(f), w.alpha, w.alpha_energies,
                                         static_cast<int>(f.integer("Number of alpha electrons")));
        }
        if (orb) write_text(stem + ".orb", orb_text);
        if (xyz) write_text(stem + ".xyz", xyz_file_text(format_string("%s: atoms in angstrom", fchk.c_str()),
                                                         w.atomic_numbers, w.coords_bohr));
        std::printf("%s: %d atoms, %d basis functions, %d orbitals:%s%s written\n", fchk.c_str(), w.natoms(), w.nbasis,
                    w.nmo(), orb ? (" " + stem + ".orb").c_str() : "", xyz ? (" " + stem + ".xyz").c_str() : "");
        return 0;
    });
}

// --- qcpost_dimer_overlap ---

int dimer_overlap_main(int argc, char** argv) {
    return guarded([&]() {
        const char* tool = "qcpost_dimer_overlap.exe";
        if (wants_help(argc, argv, kDimerOverlapUsage, tool)) return 0;
        std::string list;
        for (int i = 1; i < argc; ++i) {
            const std::string a = argv[i];
            if (a == "-batch" && i + 1 < argc && list.empty()) list = argv[++i];
            else usage_error(kDimerOverlapUsage, tool, format_string("unexpected argument \"%s\"", a.c_str()));
        }
        if (list.empty()) usage_error(kDimerOverlapUsage, tool, "-batch and the pair list (trans_int_files.dat) are needed");

        int nmols = 0;
        const std::vector<ListEntry> entries = read_pair_list(list, engine_files(QcEngine::Gaussian), nmols);
        const std::vector<hopsim::PairKey> keys = read_neighbors("neighbor.dat", nmols);
        check_same_pairs(list, entries, keys);
        const std::vector<int> orbs[2] = {read_orbitals("uc_H.inp", nmols), read_orbitals("uc_L.inp", nmols)};

        // Line k of a root's two site files places pair k of that root.
        std::vector<std::vector<Site>> uc_sites(static_cast<size_t>(nmols)), nei_sites(static_cast<size_t>(nmols));
        for (int r = 1; r <= nmols; ++r) {
            int count = 0;
            for (const hopsim::PairKey& k : keys) count += k.root == r;
            uc_sites[static_cast<size_t>(r) - 1] = read_sites(format_string("moo_mol%d_uc.pos", r), count);
            nei_sites[static_cast<size_t>(r) - 1] = read_sites(format_string("moo_mol%d_nei.pos", r), count);
        }

        // Every unit-cell molecule's orbitals sit beside its run, in the folder of the list's monomers.
        std::map<int, std::unique_ptr<MonomerOrbitals>> monomers;
        std::map<std::pair<int, int>, Eigen::VectorXd> orbitals;
        auto monomer = [&](int mol, const ListEntry& e) -> const MonomerOrbitals& {
            std::unique_ptr<MonomerOrbitals>& m = monomers[mol];
            if (!m) {
                const size_t slash = e.mono_a.find_last_of('/');
                const std::string dir = slash == std::string::npos ? std::string() : e.mono_a.substr(0, slash + 1);
                m = std::make_unique<MonomerOrbitals>(read_monomer(format_string("%suc_mol-%d", dir.c_str(), mol)));
            }
            return *m;
        };
        auto orbital = [&](int mol, int number) -> const Eigen::VectorXd& {
            auto it = orbitals.find({mol, number});
            if (it == orbitals.end())
                it = orbitals.emplace(std::make_pair(mol, number), normalised_orbital(*monomers[mol], number)).first;
            return it->second;
        };

        std::vector<double> overlap[2];
        std::vector<int> pair_index(static_cast<size_t>(nmols) + 1, 0);
        for (const ListEntry& e : entries) {
            const int k = pair_index[static_cast<size_t>(e.root)]++;
            const Site& at_a = uc_sites[static_cast<size_t>(e.root) - 1][static_cast<size_t>(k)];
            const Site& at_b = nei_sites[static_cast<size_t>(e.root) - 1][static_cast<size_t>(k)];
            if (at_a.mol != e.root || at_b.mol != e.nei)
                input_error(at_b.mol != e.nei ? at_b.path : at_a.path, at_b.mol != e.nei ? at_b.line : at_a.line,
                            format_string("pair %d of molecule %d is %d -> %d in %s, but the site names uc_mol-%d",
                                          k + 1, e.root, e.root, e.nei, list.c_str(),
                                          at_b.mol != e.nei ? at_b.mol : at_a.mol));
            const MonomerOrbitals& a = monomer(e.root, e);
            const MonomerOrbitals& b = monomer(e.nei, e);
            check_frame(a, at_a, true);
            check_frame(b, at_b, false);
            // B is its unit-cell molecule moved by a lattice vector: the site's centre minus its own.
            double com_a[3], com_b[3], t[9];
            mass_frame(a, com_a, t);
            mass_frame(b, com_b, t);
            Eigen::Vector3d shift;
            for (int x = 0; x < 3; ++x)
                shift(x) = ((at_b.com[x] - com_b[x]) - (at_a.com[x] - com_a[x])) / kAngstromPerBohr;
            for (int c = 0; c < 2; ++c)
                overlap[c].push_back(orbital_overlap(a, orbital(e.root, orbs[c][static_cast<size_t>(e.root) - 1]), b,
                                                     orbital(e.nei, orbs[c][static_cast<size_t>(e.nei) - 1]), shift));
        }

        // Every pair is known: only now is anything written.
        const char* carrier[2] = {"hole", "electron"};
        TextWriter report;
        open_output(report, "transint.dat", kToolWriteFailure);
        report.printf("# couplings from monomer orbital overlaps: t = E S_ab, E = %.1f eV (Mori et al., Bull. Chem. "
                      "Soc. Jpn. 57, 627 (1984)); an order-of-magnitude estimate\n",
                      kOverlapCouplingEv);
        report.printf("# root nei  na  nb  nc carrier  orb_a orb_b         S_ab       t_meV\n");
        std::vector<double> values[2];
        for (size_t k = 0; k < keys.size(); ++k)
            for (int c = 0; c < 2; ++c) {
                const hopsim::PairKey& p = keys[k];
                const double t = 1000.0 * kOverlapCouplingEv * overlap[c][k];
                values[c].push_back(t);
                report.printf("%5d %4d %3d %3d %3d %-8s %5d %5d %12.8f %11.4f\n", p.root, p.nei, p.cell[0], p.cell[1],
                              p.cell[2], carrier[c], orbs[c][static_cast<size_t>(p.root) - 1],
                              orbs[c][static_cast<size_t>(p.nei) - 1], overlap[c][k], t);
            }
        close_output(report, kToolWriteFailure);
        hopsim::write_pair_values("VH.dat", keys, values[0], "transfer integral (meV)", false, nmols);
        hopsim::write_pair_values("VL.dat", keys, values[1], "transfer integral (meV)", false, nmols);
        std::printf("%zu pairs from %zu monomers: VH.dat, VL.dat and transint.dat written\n", keys.size(), monomers.size());
        return 0;
    });
}

}  // namespace qcpost
}  // namespace krymo

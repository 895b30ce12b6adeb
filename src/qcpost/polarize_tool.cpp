// qcpost_polarize.exe: the electronic polarization energy P of each unit-cell molecule carrying the
// carrier, from the dipoles its excess charge induces on the atoms of the molecules around it, folded
// into the site energies.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "qcpost/engine.h"
#include "qcpost/polarization.h"
#include "qcpost/site_tools.h"
#include "qcpost/study_folder.h"
#include "qcpost/tool_main.h"
#include "structure/elements.h"
#include "util/fatal.h"
#include "util/files.h"
#include "util/linalg.h"
#include "util/text.h"

namespace krymo {
namespace qcpost {

namespace {

const char kPolarizeUsage[] =
    "Usage: %s [-inp krymo.inp] [-h]\n"
    "  Run in the study's data folder (or the study folder) after qcpost_siteen.exe.\n"
    "  For each carrier whose SE_einternal-e.dat / -h.dat is here and each unit-cell molecule: the\n"
    "  excess charges of its anion / cation (the charges of the outputs SE_einternal_files.dat names,\n"
    "  ESP where both states printed them, else Mulliken, minus the neutral's) placed on the molecule in\n"
    "  the crystal, and the dipoles they induce, self-consistently with Thole damping, on every atom of\n"
    "  the molecules whose centre lies within emultipole_cutoff (nm). P = -1/2 sum mu.F0 (meV, negative).\n"
    "  Writes SE_polarization-e.dat / -h.dat and rewrites EL.dat / EH.dat as the cell-relative sum of\n"
    "  the gas-phase energy and P. emultipole_induce = 0 writes P = 0 (not computed) and leaves EL.dat\n"
    "  and EH.dat as they are.\n";

const char* const kCarrier[2] = {"e", "h"};
const char* const kIon[2] = {"anion", "cation"};

// Excess charges of the ion of molecule m (0-based), checked against the crystal's atoms.
std::vector<double> excess_charges(const StudyFolder& study, int m, const std::string& ion_path,
                                   const std::string& neutral_path, int sign) {
    const Multipoles ion = read_multipoles(ion_path, read_text_file(ion_path));
    const Multipoles neutral = read_multipoles(neutral_path, read_text_file(neutral_path));
    const std::vector<int>& z = study.atom_numbers(m);
    for (const Multipoles* p : {&ion, &neutral}) {
        const std::string& path = p == &ion ? ion_path : neutral_path;
        if (p->mulliken.size() != z.size())
            input_error(path, 0, format_string("%zu atoms, but molecule %d of the crystal has %zu", p->mulliken.size(),
                                               m + 1, z.size()));
        for (size_t a = 0; a < z.size(); ++a)
            if (!iequals(p->symbol[a], element_symbol(z[a])))
                input_error(path, 0, format_string("atom %zu is %s, but atom %zu of molecule %d in the crystal is %s", a + 1,
                                                   p->symbol[a].c_str(), a + 1, m + 1, element_symbol(z[a]).c_str()));
    }
    const bool esp = !ion.esp.empty() && !neutral.esp.empty();
    std::vector<double> dq;
    double total = 0.0;
    for (size_t a = 0; a < z.size(); ++a) {
        dq.push_back(esp ? ion.esp[a] - neutral.esp[a] : ion.mulliken[a] - neutral.mulliken[a]);
        total += dq.back();
    }
    // Both outputs of the same molecule, the ion carrying one more or one less electron.
    if (std::fabs(total - sign) > 0.01)
        input_error(ion_path, 0,
                    format_string("its charges minus those of %s sum to %.4f e; the %s should carry %+d", neutral_path.c_str(),
                                  total, sign > 0 ? "cation" : "anion", sign));
    return dq;
}

// Polarization energy (meV) of molecule m carrying the excess charges dq.
double polarization_mev(const StudyFolder& study, int m, const std::vector<double>& dq, int* sites_out,
                        int* iterations_out) {
    double lat[3][3], inv[3][3];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) lat[r][c] = study.lattice()[r][c];
    invert(lat, inv);
    const double cutoff = study.cutoff_angstrom();
    // Cells far enough along each axis to reach every centre within the cutoff (centres may lie
    // outside the cell by up to one cell length: the molecules are whole).
    int reach[3];
    for (int t = 0; t < 3; ++t)
        reach[t] = static_cast<int>(std::ceil(cutoff * std::sqrt(inv[t][0] * inv[t][0] + inv[t][1] * inv[t][1] +
                                                                 inv[t][2] * inv[t][2]))) + 1;
    double centre[3];
    mat_vec_mul(lat, study.fractional_centre(m), centre);
    auto cartesian = [&](const double* s, const int* cell, double out[3]) {
        const double f[3] = {s[0] + cell[0], s[1] + cell[1], s[2] + cell[2]};
        mat_vec_mul(lat, f, out);
    };
    std::vector<PolarSite> sites;
    for (int c = -reach[2]; c <= reach[2]; ++c)
        for (int b = -reach[1]; b <= reach[1]; ++b)
            for (int a = -reach[0]; a <= reach[0]; ++a)
                for (int j = 0; j < study.molecules(); ++j) {
                    const int cell[3] = {a, b, c};
                    if (j == m && a == 0 && b == 0 && c == 0) continue;
                    double x[3];
                    cartesian(study.fractional_centre(j), cell, x);
                    if (std::sqrt((x[0] - centre[0]) * (x[0] - centre[0]) + (x[1] - centre[1]) * (x[1] - centre[1]) +
                                  (x[2] - centre[2]) * (x[2] - centre[2])) > cutoff)
                        continue;
                    const std::vector<int>& z = study.atom_numbers(j);
                    for (size_t k = 0; k < z.size(); ++k) {
                        PolarSite s;
                        cartesian(&study.fractional(j)[3 * k], cell, s.x);
                        s.alpha = atomic_polarizability(z[k]);
                        if (!(s.alpha > 0))
                            KRYMO_FATAL_OUT("qcpost", 1,
                                            format_string("%s: no atomic polarizability of %s (molecule %d): the table "
                                                          "holds H, C, N and O only\n",
                                                          study.config().c_str(), element_symbol(z[k]).c_str(), j + 1));
                        sites.push_back(s);
                    }
                }
    std::vector<PointCharge> charges;
    const std::vector<int>& z = study.atom_numbers(m);
    const int zero[3] = {0, 0, 0};
    for (size_t k = 0; k < z.size(); ++k) {
        PointCharge q;
        cartesian(&study.fractional(m)[3 * k], zero, q.x);
        q.q = dq[k];
        q.alpha = atomic_polarizability(z[k]);
        charges.push_back(q);
    }
    InductionSettings s;
    s.a_damp = study.damping();
    s.omega = study.relaxation();
    s.max_iter = study.max_iterations();
    s.tol = study.tolerance();
    const InductionResult r = induce_dipoles(sites, charges, s);
    *sites_out = static_cast<int>(sites.size());
    *iterations_out = r.iterations;
    return 1000.0 * r.energy_ev;
}

}  // namespace

int polarize_main(int argc, char** argv) {
    return guarded([&]() {
        const char* tool = "qcpost_polarize.exe";
        if (wants_help(argc, argv, kPolarizeUsage, tool)) return 0;
        std::string config;
        if (argc == 3 && std::string(argv[1]) == "-inp")
            config = argv[2];
        else if (argc != 1)
            usage_error(kPolarizeUsage, tool, "Only -inp and the study's krymo.inp may be given.");
        if (config.empty()) enter_study_data_folder();
        StudyFolder study;
        study.load_from(config);
        if (!(study.cutoff_angstrom() > 0) || !(study.damping() > 0) || !(study.relaxation() > 0) ||
            !(study.relaxation() < 2) || !(study.tolerance() > 0) || study.max_iterations() < 1)
            KRYMO_FATAL_OUT("qcpost", 1,
                            format_string("%s: expected emultipole_cutoff > 0, emultipole_aDamp > 0, 0 < "
                                          "emultipole_wSOR_C < 2, emultipole_epsTol > 0 and emultipole_maxIter >= 1\n",
                                          study.config().c_str()));
        std::vector<double> gas[2];
        bool any = false;
        for (int c = 0; c < 2; ++c) {
            const std::string in = format_string("SE_einternal-%s.dat", kCarrier[c]);
            if (!file_exists(in)) continue;
            gas[c] = read_internal_energies(in);
            if (static_cast<int>(gas[c].size()) != study.molecules())
                KRYMO_FATAL_OUT("qcpost", 1,
                                format_string("%s holds %zu molecules, the crystal of %s %d\n", in.c_str(), gas[c].size(),
                                              study.config().c_str(), study.molecules()));
            any = true;
        }
        if (!any)
            KRYMO_FATAL_OUT("qcpost", 1,
                            "Neither SE_einternal-e.dat nor SE_einternal-h.dat is here: run qcpost_eint.exe and "
                            "merge_RE_int_ener_output.py in the data folder first\n");
        if (!study.induce()) {
            // The files the workflow waits for, saying that nothing was computed; the site energies stay.
            for (int c = 0; c < 2; ++c) {
                if (gas[c].empty()) continue;
                TextWriter out;
                open_output(out, format_string("SE_polarization-%s.dat", kCarrier[c]), kToolWriteFailure);
                out.printf("# emultipole_induce = 0: polarization energy of the %s not computed, EL.dat / EH.dat "
                           "stay gas-phase\n%zu\n", kIon[c], gas[c].size());
                for (size_t m = 0; m < gas[c].size(); ++m) out.printf("%5zu %18.6f\n", m + 1, 0.0);
                close_output(out, kToolWriteFailure);
            }
            std::printf("%s: emultipole_induce = 0: no induced dipoles; EL.dat / EH.dat stay gas-phase\n", tool);
            return 0;
        }
        const std::vector<IonOutputs> outputs = read_einternal_list("SE_einternal_files.dat");
        if (static_cast<int>(outputs.size()) != study.molecules())
            input_error("SE_einternal_files.dat", 1,
                        format_string("%zu molecules, but the crystal has %d", outputs.size(), study.molecules()));
        std::vector<double> pol[2];
        for (int c = 0; c < 2; ++c) {
            if (gas[c].empty()) continue;
            for (int m = 0; m < study.molecules(); ++m) {
                const IonOutputs& o = outputs[m];
                const std::vector<double> dq =
                    excess_charges(study, m, c == 0 ? o.anion : o.cation, o.neutral, c == 0 ? -1 : 1);
                int sites = 0, iterations = 0;
                pol[c].push_back(polarization_mev(study, m, dq, &sites, &iterations));
                std::printf("%s: molecule %d %s: P = %.3f meV (%d polarizable atoms, %d steps)\n", tool, m + 1, kIon[c],
                            pol[c].back(), sites, iterations);
            }
        }
        // Every energy is known: only now is anything written.
        for (int c = 0; c < 2; ++c) {
            if (pol[c].empty()) continue;
            TextWriter out;
            open_output(out, format_string("SE_polarization-%s.dat", kCarrier[c]), kToolWriteFailure);
            out.printf("# polarization energy (meV) of the %s in the crystal per unit-cell molecule\n%zu\n", kIon[c],
                       pol[c].size());
            for (size_t m = 0; m < pol[c].size(); ++m) out.printf("%5zu %18.6f\n", m + 1, pol[c][m]);
            close_output(out, kToolWriteFailure);
            std::vector<double> sum;
            for (size_t m = 0; m < pol[c].size(); ++m) sum.push_back(gas[c][m] + pol[c][m]);
            write_site_energies(c, relative_to_mean(sum), true, tool);
        }
        return 0;
    });
}

}  // namespace qcpost
}  // namespace krymo

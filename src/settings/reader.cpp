// Reader of the input file: a "&transport" section of `key = value` lines closed by "/", and raw
// "&gaussian.append" / "&qc_inp_append" sections appended to the generated quantum-chemistry inputs.
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <type_traits>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <map>

#include "jobs/schedulers.h"
#include "settings/krymo_inp.h"
#include "util/fatal.h"
#include "util/files.h"
#include "util/text.h"

namespace krymo {

namespace {

std::string text_trimmed(std::string v) { return trim(v); }

std::string text_unquoted(std::string v) {
    trim(v);
    std::string out;
    for (char c : v)
        if (c != '"' && c != '\'') out += c;
    return out;
}

// Numbers are read whole (util/text.h): a value the user did not write (a word read as 0, "4.0x" as 4)
// would silently run another study.
bool whole_int(const std::string& piece, int& out) { return parse_whole_int(piece, out); }
bool whole_real(const std::string& piece, double& out) { return parse_whole_real(piece, out); }

// Exactly `n` whole numbers separated by blanks or tabs.
template <typename T>
bool whole_numbers(const std::string& v, T* out, size_t n) {
    std::vector<std::string> pieces;
    split_to_words(v, " \t", pieces);
    if (n != 0 && pieces.size() != n) return false;
    for (size_t i = 0; i < pieces.size(); ++i) {
        T x{};
        bool ok = false;
        if constexpr (std::is_same<T, int>::value) ok = whole_int(pieces[i], x);
        else ok = whole_real(pieces[i], x);
        if (!ok) return false;
        out[i] = x;
    }
    return true;
}

bool strict_real(const std::string& piece, double& out) { return whole_real(piece, out); }

bool comment_start(const std::string& line) { return line.empty() || line[0] == '!' || line[0] == '#'; }

void cut_at(std::string& s, char c) {
    size_t pos = s.find(c);
    if (pos != std::string::npos) s.erase(pos);
}

// Bounds that keep the arithmetic on cells and orbital numbers far from overflow: 50 cells each way
// already reach some hundred nanometres, and no molecule has a million orbitals.
constexpr int kMaxNeighborScell = 50;
constexpr int kMaxOrbitalAdjustment = 1000000;
const char* const kAdjustmentExpected = "integers from -1000000 to 1000000, separated by blanks";
// Lattice vectors of molecule input (Angstrom): the range of the crystal file's cell lengths.
constexpr double kMinLatticeVector = 1.0;
constexpr double kMaxLatticeVector = 1e5;

}  // namespace

namespace {

const char* const kSections[] = {"&transport", "&gaussian.append", "&qc_inp_append"};

// Keys whose lines add up (lists): giving them twice is meant.
bool adds_up(const std::string& key) {
    return key == "homo_adjustment" || key == "lumo_adjustment" || key == "emultipole_scale1";
}

// The files a mobility run folder holds besides the rate file: the rate file must never replace one.
const char* const kRunFolderFiles[] = {
    "krymo.inp", "charge.inp", "temp.inp", "neighbor.dat", "VL.dat", "VH.dat", "VL-dyn.dat", "VH-dyn.dat",
    "NM-e.dat", "NM-h.dat", "EL.dat", "EH.dat", "LUMO-dyn.dat", "HOMO-dyn.dat", "reorg_lambda_outer-e.dat",
    "reorg_lambda_outer-h.dat", "exp_data.dat", "mobility.dat", "msd.dat", "master.dat", "lambda.dat",
    "mobility_axes.dat", "mobility_angle.dat", "mobility_field.dat"};

std::string base_name(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

void KrymoInp::reject_value(int line, const std::string& key, const std::string& value, const std::string& expected) {
    // Checks after the read name the line that set the key.
    const auto set_at = setting_lines.find(key);
    const int at = input_line > 0 ? input_line : set_at != setting_lines.end() ? set_at->second : 0;
    throw FatalError("krymo_inp", line, 1,
                     format_string("Invalid value of %s in %s%s: \"%s\"\n  expected %s\n", key.c_str(),
                                   input_path.c_str(), at > 0 ? format_string(", line %d", at).c_str() : "",
                                   printable_excerpt(value).c_str(), expected.c_str()),
                     "");
}

std::string KrymoInp::setting_place(const std::string& key) const {
    const auto it = setting_lines.find(key);
    if (it == setting_lines.end() || it->second <= 0) return format_string("the default; %s does not set it", input_path.c_str());
    return format_string("%s, line %d", input_path.c_str(), it->second);
}

void KrymoInp::validate_choice(const std::string& key, const std::string& value,
                               const std::vector<const char*>& allowed, const char* listed) {
    for (const char* a : allowed)
        if (iequals(value, a)) return;
    reject_value(__LINE__, key, value, format_string("one of %s", listed));
}

void KrymoInp::read_molecule_list(const std::string& value) {
    std::vector<std::string> pieces;
    split_to_words(value, " \t", pieces);
    char* end = nullptr;
    const long n = pieces.empty() ? 0 : std::strtol(pieces[0].c_str(), &end, 10);
    if (pieces.empty() || *end != '\0' || n < 1)
        reject_value(__LINE__, "molecule", text_trimmed(value),
                     "the number of unit-cell molecules (at least 1) followed by that many molecule file names");
    if (static_cast<long>(pieces.size()) - 1 < n)
        reject_value(__LINE__, "molecule", text_trimmed(value),
                     format_string("%ld molecule file names after the count, found %zu", n, pieces.size() - 1));
    // Each molecule is copied to data/<its name>: that copy must not replace one of the run's own
    // files there, nor the copy of another molecule.
    std::map<std::string, long> copies;  // a box may list a hundred thousand molecules
    for (long i = 1; i <= n; ++i) {
        const std::string copy = safe_relative_path(pieces[i]);
        if (is_own_data_file(copy))
            reject_value(__LINE__, "molecule", text_trimmed(value),
                         format_string("MOL file names unlike the files the run writes in %s/, where each molecule is "
                                       "copied: \"%s\" would replace %s/%s",
                                       data_dir.c_str(), pieces[i].c_str(), data_dir.c_str(), copy.c_str()));
        const auto seen = copies.emplace(copy, i);
        if (!seen.second)
            reject_value(__LINE__, "molecule", text_trimmed(value),
                         format_string("a distinct MOL file for every molecule: \"%s\" and \"%s\" would both be "
                                       "copied to %s/%s",
                                       pieces[seen.first->second].c_str(), pieces[i].c_str(), data_dir.c_str(),
                                       copy.c_str()));
    }
    nmols_uc = static_cast<int>(n);
    mol_files.assign(pieces.begin() + 1, pieces.begin() + 1 + n);
    mol_data_source = 1;
}

void KrymoInp::read_reorg_outer(const std::string& value) {
    std::vector<std::string> pieces;
    split_to_words(value, " \t", pieces);
    const std::string method = pieces.empty() ? std::string() : pieces[0];
    std::vector<double> nums;
    for (size_t i = 1; i < pieces.size(); ++i) {
        double x = 0;
        if (!strict_real(pieces[i], x))
            reject_value(__LINE__, "reorg_outer", text_trimmed(value),
                         format_string("numbers after the method, but \"%s\" is not a number", pieces[i].c_str()));
        nums.push_back(x);
    }
    if (iequals(method, "constant")) {
        if (nums.empty() || nums[0] < 0)
            reject_value(__LINE__, "reorg_outer", text_trimmed(value), "constant <energy in eV, at least 0>");
        reorg_outer_const = nums[0];
        reorg_outer_type = 1;
    } else if (iequals(method, "spheres")) {
        if (nums.size() < 2)
            reject_value(__LINE__, "reorg_outer", text_trimmed(value), "spheres <epsilon> <radius> [<radius> ...]");
        reorg_outer_epsilon = nums[0];
        for (size_t i = 1; i < nums.size(); ++i) reorg_outer_radii.push_back(nums[i] * 0.1);
        reorg_outer_type = 2;
    } else if (iequals(method, "dielectric")) {
        if (nums.size() < 2)
            reject_value(__LINE__, "reorg_outer", text_trimmed(value), "dielectric <epsilon> <cutoff in Angstrom>");
        reorg_outer_epsilon = nums[0];
        reorg_outer_cutoff = nums[1] * 0.1;
        reorg_outer_type = 3;
    } else {
        reject_value(__LINE__, "reorg_outer", text_trimmed(value),
                     "a method constant, spheres or dielectric followed by its numbers");
    }
    reorg_outer_method = method;
}

void KrymoInp::read_thinfilm(const std::string& value) {
    const std::string v = text_trimmed(value);
    int n[2] = {0, 0};
    if (!whole_numbers(v, n, 2) || n[1] < 1)
        reject_value(__LINE__, "thinfilm", v,
                     "two integers: the direction (0, 1 or 2) and the number of unit cells (at least 1)");
    const int dir = n[0], ncell = n[1];
    if (dir < 0 || dir > 2)
        reject_value(__LINE__, "thinfilm", v, "a direction of 0, 1 or 2 (a, b or c) before the number of cells");
    thinfilm_dir = dir;
    thinfilm_ncell = ncell;
    thinfilm_flag = true;
}

void KrymoInp::visit_key_rules(const std::string& key, bool, const std::function<bool(const KeyRule&)>& visit) {
    // Each setter reads its value whole and in its range, or stops naming the key, file and line.
    auto integer = [&](const std::string& v, int min, const char* expected) {
        int x = 0;
        if (!whole_int(v, x) || x < min) reject_value(__LINE__, key, text_trimmed(v), expected);
        return x;
    };
    auto real = [&](const std::string& v, const char* expected, double above = -HUGE_VAL, double most = HUGE_VAL) {
        double x = 0;
        if (!whole_real(v, x) || !(x > above) || x > most) reject_value(__LINE__, key, text_trimmed(v), expected);
        return x;
    };
    auto set_int = [&](int& f) { return [&, p = &f](const std::string& v) { *p = integer(v, INT_MIN, "an integer"); }; };
    auto set_count = [&](int& f, int min) {
        return [&, p = &f, min](const std::string& v) {
            *p = integer(v, min, min == 0 ? "an integer of at least 0" : "an integer of at least 1");
        };
    };
    auto set_real = [&](double& f) { return [&, p = &f](const std::string& v) { *p = real(v, "a finite number"); }; };
    // Temperatures and times of the rates and simulations: zero or less has no meaning there.
    auto set_positive = [&](double& f) {
        return [&, p = &f](const std::string& v) { *p = real(v, "a finite number above 0", 0.0); };
    };
    auto set_flag = [&](bool& f) {
        return [&, p = &f](const std::string& v) { *p = integer(v, INT_MIN, "0 (off) or 1 (on)") != 0; };
    };
    auto set_if_nonzero = [&](bool& f) {
        return [&, p = &f](const std::string& v) {
            if (integer(v, INT_MIN, "0 (off) or 1 (on)") != 0) *p = true;
        };
    };
    auto set3 = [&](auto* f, double min, const char* expected, double max = HUGE_VAL) {
        return [&, f, min, max, expected](const std::string& v) {
            std::remove_pointer_t<decltype(f)> x[3];
            if (!whole_numbers(v, x, 3) || x[0] < min || x[1] < min || x[2] < min || x[0] > max || x[1] > max ||
                x[2] > max)
                reject_value(__LINE__, key, text_trimmed(v), expected);
            for (int k = 0; k < 3; ++k) f[k] = x[k];
        };
    };
    auto set_vector = [&](double* f) {
        return [&, f](const std::string& v) {
            double x[3];
            const double length = whole_numbers(v, x, 3) ? std::sqrt(x[0] * x[0] + x[1] * x[1] + x[2] * x[2]) : 0.0;
            if (!(length >= kMinLatticeVector && length <= kMaxLatticeVector))
                reject_value(__LINE__, key, text_trimmed(v),
                             format_string("three numbers (Angstrom): a lattice vector of %g to %g Angstrom",
                                           kMinLatticeVector, kMaxLatticeVector));
            for (int k = 0; k < 3; ++k) f[k] = x[k];
        };
    };
    auto set_list = [&](auto& list, const char* expected, double bound = HUGE_VAL) {
        return [&, p = &list, expected, bound](const std::string& v) {
            std::vector<std::string> pieces;
            split_to_words(v, " \t", pieces);
            std::vector<typename std::remove_reference_t<decltype(list)>::value_type> x(pieces.size());
            if (!whole_numbers(v, x.data(), 0)) reject_value(__LINE__, key, text_trimmed(v), expected);
            for (const auto& e : x)
                if (std::fabs(static_cast<double>(e)) > bound) reject_value(__LINE__, key, text_trimmed(v), expected);
            p->insert(p->end(), x.begin(), x.end());
        };
    };
    auto set_text = [&](std::string& f) { return [&f](const std::string& v) { f = text_unquoted(v); }; };

    // Matching order is the order of this table; aliases share the rule of their key.
    const std::vector<KeyRule> rules = {
        {{"do_transport_prepare"}, set_int(do_transport_prepare)},
        {{"do_transport_submit_HL_job"}, set_int(do_transport_submit_HL_job)},
        {{"do_transport_submit_RE_job"}, set_int(do_transport_submit_RE_job)},
        {{"do_transport_get_transferintegral"}, set_int(do_transport_get_transferintegral)},
        {{"do_transport_get_re_evc"}, set_int(do_transport_get_re_evc)},
        {{"do_transport_run_MC"}, set_int(do_transport_run_MC)},
        {{"do_transport_get_mob_MC"}, set_int(do_transport_get_mob_MC)},
        {{"do_transport_run_MC_temp"}, set_int(do_transport_run_MC_temp)},
        {{"do_transport_get_mob_MC_temp"}, set_int(do_transport_get_mob_MC_temp)},
        {{"do_transport_run_ME"}, set_int(do_transport_run_ME)},
        {{"do_transport_get_mob_ME"}, set_int(do_transport_get_mob_ME)},
        {{"do_transport_run_ME_temp"}, set_int(do_transport_run_ME_temp)},
        {{"do_transport_get_mob_ME_temp"}, set_int(do_transport_get_mob_ME_temp)},
        {{"do_transport_gather_krymo_data"}, set_int(do_transport_gather_krymo_data)},
        {{"mater_name"}, set_text(mater_name)},
        {{"module_mpich2"},
         [&](const std::string& v) {
             module_mpich2 = text_unquoted(v);
             module_mpich2_flag = true;
         }},
        {{"module_qc", "module_gaussian"},
         [&](const std::string& v) {
             module_qc = text_unquoted(v);
             module_qc_flag = true;
         }},
        {{"qc_exe", "gaussian_exe"},
         [&](const std::string& v) {
             qc_exe = text_unquoted(v);
             qc_exe_given = true;
         }},
        {{"qc_memory", "memory"}, set_count(qc_memory, 1)},
        {{"qc_nodes", "gaussian_nodes"}, set_count(qc_nodes, 1)},
        {{"qc_ppn", "gaussian_ppn"}, set_count(qc_ppn, 1)},
        {{"qc_method"}, set_text(qc_method)},
        {{"qc_method_re"},
         [&](const std::string& v) {
             qc_method_re = text_unquoted(v);
             qc_method_re_given = true;
         }},
        {{"qc_basis", "basis_name"}, [&](const std::string& v) { qc_basis = qc_basis_re = text_unquoted(v); }},
        {{"qc_basis_re", "basis_name_re"}, set_text(qc_basis_re)},
        {{"use_moo"}, set_flag(use_moo)},
        {{"queue_name"}, set_text(queue_name)},
        {{"sched_type", "queue_type"},
         [&](const std::string& v) {
             sched_type = text_unquoted(v);
             if (find_scheduler(sched_type) < 0)
                 reject_value(__LINE__, key, sched_type, "pbs, slurm, lsf or local (in any case)");
         }},
        {{"sched_job_array"}, set_flag(sched_job_array)},
        {{"nodelist"}, set_text(nodelist)},
        {{"job_slot_limit"}, set_count(job_slot_limit, 0)},
        {{"job_walltime"}, set_count(job_walltime, 1)},
        {{"start_temp"}, set_real(start_temp)},
        {{"end_temp"}, set_real(end_temp)},
        {{"delta_temp"}, set_real(delta_temp)},
        {{"chargetype"},
         [&](const std::string& v) {
             chargetype = text_unquoted(v);
             validate_choice("chargetype", chargetype, {"e", "h", "a"}, "'e', 'h', 'a'");
         }},
        {{"evc_type"},
         [&](const std::string& v) {
             evc_type = text_unquoted(v);
             validate_choice("evc_type", evc_type, {"cart", "int"}, "'cart', 'int'");
         }},
        {{"use_evc_dint"}, set_flag(use_evc_dint)},
        {{"vector_a"}, set_vector(latt_vectors[0])},
        {{"vector_b"}, set_vector(latt_vectors[1])},
        {{"vector_c"}, set_vector(latt_vectors[2])},
        {{"lattice_cutoff", "lat_cutoff"},
         [&](const std::string& v) { lattice_cutoff = real(v, "a finite distance above 0 (Angstrom)", 0.0); }},
        {{"neighbor_scell", "nei_scell"},
         set3(neighbor_scell, 0, "three integers of at least 0 and at most 50", kMaxNeighborScell)},
        {{"super_cell", "super-cell"}, set3(super_cell, 1, "three integers of at least 1")},
        {{"bond_dis_scale"},
         [&](const std::string& v) { bond_dis_scale = real(v, "a number above 0 and at most 3", 0.0, 3.0); }},
        {{"HL_unique_ctrl_ratio"}, set_real(HL_unique_ctrl_ratio)},
        {{"read_neighbor_dat"}, set_if_nonzero(read_neighbor_dat)},
        {{"temp"}, set_positive(temp)},
        {{"maxt"}, set_positive(maxt)},
        {{"ratetype"},
         [&](const std::string& v) {
             // The name becomes part of folder names and scripts: only the known names, any case,
             // stored in their canonical spelling (quotes are kept, so a quoted value is refused).
             const std::string name = text_trimmed(v);
             for (const char* known : {"marcus", "quantum"})
                 if (iequals(name, known)) {
                     ratetype = known;
                     return;
                 }
             reject_value(__LINE__, "ratetype", name, "marcus or quantum (any case)");
         }},
        {{"sta"}, set_int(sta)},
        {{"delta_angle"},
         [&](const std::string& v) {
             delta_angle = real(v, "an angle step above 0 and at most 360 degrees", 0.0, 360.0);
         }},
        {{"tsimu"}, set_positive(tsimu)},
        {{"tsnap"}, set_positive(tsnap)},
        {{"tstep"}, set_real(tstep)},
        {{"nsimu"}, set_count(nsimu, 1)},
        {{"mc_error"}, [&](const std::string& v) { mc_error = real(v, "a relative error of at least 0", -1e-300); }},
        {{"mc_hops"}, [&](const std::string& v) { mc_hops = real(v, "a number of hops above 0", 0.0); }},
        {{"rate_broadening"},
         [&](const std::string& v) { rate_broadening = real(v, "a width of at least 0 (meV)", -1e-300); }},
        {{"disorder_sigma"},
         [&](const std::string& v) {
             disorder_sigma = real(v, "a width of at least 0 and at most 10000 (meV)", -1e-300, 1e4);
         }},
        {{"disorder_cells"}, set_count(disorder_cells, 1)},
        {{"disorder_seed"}, set_count(disorder_seed, 0)},
        {{"iterlimit"}, set_count(iterlimit, 1)},
        {{"nevery_out"}, set_count(nevery_out, 1)},
        {{"RE_unique_mol"}, set_int(RE_unique_mol)},
        {{"HL_unique_mol"}, set_int(HL_unique_mol)},
        {{"homo_adjustment"}, set_list(homo_adjustment, kAdjustmentExpected, kMaxOrbitalAdjustment)},
        {{"lumo_adjustment"}, set_list(lumo_adjustment, kAdjustmentExpected, kMaxOrbitalAdjustment)},
        {{"molecule"}, [&](const std::string& v) { read_molecule_list(v); }},
        // The crystal is read after the section: the settings below apply wherever they stand.
        {{"crystal"},
         [&](const std::string& v) {
             crystal_path = text_trimmed(v);
             mol_data_source = 2;
         }},
        {{"disorder"},
         [&](const std::string& v) {
             if (!parse_disorder_mode(v, disorder_mode))
                 reject_value(__LINE__, "disorder", text_trimmed(v),
                              "major (keep the major group of each disorder assembly) or all (keep every site)");
         }},
        {{"cif_block"}, [&](const std::string& v) { cif_block = text_unquoted(v); }},
        {{"allow_incomplete_symmetry"}, set_flag(allow_incomplete_symmetry)},
        {{"allow_formula_mismatch"}, set_flag(allow_formula_mismatch)},
        {{"allow_missing_hydrogens"}, set_flag(allow_missing_hydrogens)},
        {{"lat_site_energy"}, set_int(lat_site_energy)},
        {{"output_level"}, set_int(output_level)},
        {{"krymo_dat_file"}, [&](const std::string& v) { krymo_dat_file = text_trimmed(v); }},
        {{"output_eigval"}, set_int(output_eigval)},
        {{"compute_engine"},
         [&](const std::string& v) {
             const char* expected = "1 (Gaussian), 2 (ORCA), 3 (Q-Chem) or 4 (psi4)";
             compute_engine = integer(v, 1, expected);
             if (compute_engine > 4) reject_value(__LINE__, key, text_trimmed(v), expected);
             if (compute_engine == 2) qc_exe = "fullpath/orca";
         }},
        // Trimmed: a blank kept in front of the path would split "SCRDIR= /tmp/..." in the job scripts.
        {{"scratch"}, [&](const std::string& v) { scratch = text_trimmed(v); }},
        {{"eckart_mirror"}, set_int(eckart_mirror)},
        {{"app_elec_F"},
         [&](const std::string& v) {
             set3(app_elec_F, -HUGE_VAL, "three numbers (eV/m along a, b, c)")(v);
             if (std::fabs(app_elec_F[0]) > 0 || std::fabs(app_elec_F[1]) > 0 || std::fabs(app_elec_F[2]) > 0)
                 app_elec_F_flag = true;
         }},
        {{"field_scan"},
         [&](const std::string& v) {
             const char* expected = "field strengths above 0 (V/m), separated by blanks";
             std::vector<double> f;
             set_list(f, expected, 1e300)(v);
             for (double x : f)
                 if (!(x > 0.0)) reject_value(__LINE__, key, text_trimmed(v), expected);
             field_scan = f;
         }},
        {{"reorg_outer"}, [&](const std::string& v) { read_reorg_outer(v); }},
        {{"emultipole_induce"}, set_int(emultipole_induce)},
        {{"emultipole_cutoff"}, set_real(emultipole_cutoff)},
        {{"emultipole_aDamp"}, set_real(emultipole_aDamp)},
        {{"emultipole_scale1"}, set_list(emultipole_scale1, "numbers separated by blanks")},
        {{"emultipole_wSOR_N"}, set_real(emultipole_wSOR_N)},
        {{"emultipole_wSOR_C"}, set_real(emultipole_wSOR_C)},
        {{"emultipole_maxIter"}, set_count(emultipole_maxIter, 1)},
        {{"emultipole_epsTol"}, set_real(emultipole_epsTol)},
        {{"thinfilm"}, [&](const std::string& v) { read_thinfilm(v); }},
        {{"RE_use_neutral_chk"}, set_if_nonzero(RE_use_neutral_chk)},
        // A written 0 switches the four-point jobs off, so the echo file reads back the same.
        {{"RE_calc_lambda_4P"}, set_flag(RE_calc_lambda_4P)},
        {{"V_dynamic_disorder"}, set_if_nonzero(V_dynamic_disorder)},
        {{"HOMOLUMO_dynamic_disorder"}, set_if_nonzero(HOMOLUMO_dynamic_disorder)},
        {{"data_mol_output_level"}, set_int(data_mol_output_level)},
    };
    // The setters refer to locals of this function: the rules are only used inside it.
    for (const KeyRule& r : rules)
        if (visit(r)) return;
}

std::vector<std::vector<std::string>> KrymoInp::input_keys() {
    KrymoInp probe;
    std::vector<std::vector<std::string>> keys;
    probe.visit_key_rules(std::string(), false, [&](const KeyRule& r) {
        keys.emplace_back(r.names.begin(), r.names.end());
        return false;
    });
    return keys;
}

std::string KrymoInp::apply_setting(const std::string& key, const std::string& value, bool info) {
    bool applied = false;
    std::string canonical;
    // A typo gets the one key it most likely meant; two different keys equally close suggest neither.
    std::string suggestion;
    size_t best = 3;
    bool tie = false;
    visit_key_rules(key, info, [&](const KeyRule& r) {
        for (const char* name : r.names)
            if (iequals(key, name)) {
                r.apply(value);
                canonical = r.names[0];
                return applied = true;
            }
        bool closer_here = false, tie_here = false;
        for (const char* name : r.names) {
            const size_t d = edit_distance(key, name);
            if (d < best) {
                best = d;
                suggestion = name;
                closer_here = true;
                tie_here = false;
            } else if (d == best && !closer_here) {
                tie_here = true;
            }
        }
        tie = closer_here ? false : (tie || tie_here);
        return false;
    });
    if (applied) return canonical;
    std::string message = format_string("\nUnknown parameter \"%s\" in file %s!!!\n", key.c_str(), input_path.c_str());
    if (input_line > 0) message += format_string("  on line %d\n", input_line);
    if (!suggestion.empty() && !tie) message += format_string("Did you mean \"%s\"?\n", suggestion.c_str());
    KRYMO_FATAL_OUT("krymo_inp", 255, message + "\n");
}

void KrymoInp::check_temperature_scan() {
    if (do_transport_run_MC_temp == 0 && do_transport_get_mob_MC_temp == 0 && do_transport_run_ME_temp == 0 &&
        do_transport_get_mob_ME_temp == 0)
        return;
    // The scan makes (end_temp - start_temp) / delta_temp + 1 run directories: every term must be a number.
    const char* expected = "a finite number when a temperature scan (a do_transport_*_temp switch) is on";
    if (!std::isfinite(start_temp)) reject_value(__LINE__, "start_temp", format_string("%g", start_temp), expected);
    if (!std::isfinite(end_temp)) reject_value(__LINE__, "end_temp", format_string("%g", end_temp), expected);
    if (!std::isfinite(delta_temp) || delta_temp == 0.0)
        reject_value(__LINE__, "delta_temp", format_string("%g", delta_temp),
                     "a finite, non-zero temperature step when a temperature scan (a do_transport_*_temp switch) "
                     "is on");
}

void KrymoInp::check_lattice_vectors() const {
    const double(*v)[3] = latt_vectors;
    const double volume = v[0][0] * (v[1][1] * v[2][2] - v[1][2] * v[2][1]) -
                          v[0][1] * (v[1][0] * v[2][2] - v[1][2] * v[2][0]) +
                          v[0][2] * (v[1][0] * v[2][1] - v[1][1] * v[2][0]);
    double lengths = 1.0;
    for (int r = 0; r < 3; ++r) lengths *= std::sqrt(v[r][0] * v[r][0] + v[r][1] * v[r][1] + v[r][2] * v[r][2]);
    // Relative to the lengths: vectors this close to one plane make no cell of any use.
    if (!(std::fabs(volume) > 1e-6 * lengths))
        KRYMO_FATAL_OUT("krymo_inp", 1,
                        format_string("The lattice vectors vector_a, vector_b and vector_c in %s do not span a cell: "
                                      "their volume is %g Angstrom^3.\n",
                                      input_path.c_str(), volume));
}

void KrymoInp::check_settings_together() {
    auto line_of = [&](const char* key, const char* variable) {
        const auto l = setting_lines.find(key);
        return l != setting_lines.end() ? format_string("line %d", l->second)
                                        : std::string(getenv(variable) != nullptr ? variable : "default");
    };
    // Cores per job: the job scripts and the study record multiply them.
    const long long cores = static_cast<long long>(qc_nodes) * qc_ppn;
    if (cores > INT_MAX)
        KRYMO_FATAL_OUT("krymo_inp", 1,
                        format_string("qc_nodes = %d (%s) times qc_ppn = %d (%s) in %s gives %lld cores per job, more "
                                      "than %d: smaller counts are expected\n",
                                      qc_nodes, line_of("qc_nodes", "KRYMO_QC_NODES").c_str(), qc_ppn,
                                      line_of("qc_ppn", "KRYMO_QC_PPN").c_str(), input_path.c_str(), cores, INT_MAX));
    // The rate file is written in the mobility run folder, by name: never elsewhere, never over an input.
    if (krymo_dat_file.empty()) return;
    const auto dat_line = setting_lines.find("krymo_dat_file");
    input_line = dat_line != setting_lines.end() ? dat_line->second : 0;
    bool plain = krymo_dat_file != "." && krymo_dat_file != ".." && krymo_dat_file[0] != '-';
    for (char c : krymo_dat_file)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-' || c == '+')) plain = false;
    if (!plain)
        reject_value(__LINE__, "krymo_dat_file", krymo_dat_file,
                     "a plain file name (letters, digits, '.', '_', '-', '+'; no folder): the rate file is written "
                     "in the mobility run folder");
    std::vector<std::string> inputs(std::begin(kRunFolderFiles), std::end(kRunFolderFiles));
    if (!crystal_file.empty()) inputs.push_back(base_name(crystal_file));
    for (const std::string& m : mol_files) inputs.push_back(base_name(m));
    const bool trajectory = krymo_dat_file.compare(0, 5, "traj-") == 0;
    for (const std::string& name : inputs)
        if (krymo_dat_file == name || trajectory)
            reject_value(__LINE__, "krymo_dat_file", krymo_dat_file,
                         format_string("a name other than the run folder's own files (%s is read or written by the "
                                       "hopping tools)",
                                       trajectory ? "traj-*.dat" : name.c_str()));
    input_line = 0;
}

void KrymoInp::require_structure() const {
    if (mol_data_source != 1 && mol_data_source != 2)
        KRYMO_FATAL_OUT("krymo_inp", 1,
                        format_string("%s names no structure: a line crystal = <CIF file> or molecule = <count> <MOL "
                                      "files> in its &transport section is expected.\n",
                                      input_path.c_str()));
}

void KrymoInp::load_krymo_inp_file(const std::string& path, std::vector<std::string>& lines) {
    // Whole lines of any length: a long line must never arrive as several settings lines.
    if (!read_input_lines(path, kSettingsInput, "krymo_inp", lines, true))
        KRYMO_FATAL_OUT("krymo_inp", 255, format_string("Failed to open input file: %s\n", path.c_str()));
}

void KrymoInp::read_transport_section(const std::vector<std::string>& lines, size_t& i, bool info) {
    const size_t header = i;  // 1-based line of the header
    std::map<std::string, std::pair<std::string, int>> given;  // canonical key -> key as written, line
    for (; i < lines.size(); ++i) {
        std::string s = lines[i];
        trim(s);
        const bool comment = comment_start(s);
        cut_at(s, '!');
        cut_at(s, '#');
        if (!s.empty() && s[0] == '/') {
            ++i;
            return;
        }
        const size_t eq = s.find('=');
        if (comment || eq == std::string::npos) continue;
        std::string key = s.substr(0, eq);
        trim(key);
        input_line = static_cast<int>(i) + 1;
        const std::string canonical = apply_setting(key, s.substr(eq + 1), info);
        auto seen = setting_lines.find(canonical);
        if (seen != setting_lines.end() && !adds_up(canonical)) {
            const auto before = given.find(canonical);
            std::printf("WARNING: %s sets %s twice: line %d%s and line %d (%s); the value of line %d is used.\n",
                        input_path.c_str(), canonical.c_str(), seen->second,
                        before != given.end() ? format_string(" (%s)", before->second.first.c_str()).c_str() : "",
                        input_line, key.c_str(), input_line);
        }
        setting_lines[canonical] = input_line;
        given[canonical] = {key, input_line};
        input_line = 0;
    }
    // A file cut short would otherwise run on whatever settings came before the cut.
    KRYMO_FATAL_OUT("krymo_inp", 1,
                    format_string("The &transport section of %s (line %zu) has no closing line starting with \"/\": "
                                  "the file ends at line %zu. Is it complete?\n",
                                  input_path.c_str(), header, lines.size()));
}

int KrymoInp::read_krymo_inp(const std::string& path, bool info) {
    set_varables_default();
    get_environment_variables();
    input_path = path;
    setting_lines.clear();

    std::vector<std::string> lines;
    load_krymo_inp_file(path, lines);
    if (info) std::printf("Reading config file \"%s\"... \n", path.c_str());

    // A binary file (a copied output, an archive) is refused before any of it is taken for settings.
    for (size_t n = 0; n < lines.size(); ++n)
        for (unsigned char c : lines[n])
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v')
                KRYMO_FATAL_OUT("krymo_inp", 1,
                                format_string("%s line %zu holds the control byte 0x%02x: a text file of &transport "
                                              "settings is expected\n",
                                              input_path.c_str(), n + 1, c));

    int sections = 0;
    size_t i = 0;
    while (i < lines.size()) {
        std::string line = lines[i++];
        trim(line);
        if (comment_start(line)) continue;
        cut_at(line, '!');
        cut_at(line, '#');
        trim(line);
        if (line.empty()) continue;
        if (iequals(line, "&transport")) {
            read_transport_section(lines, i, info);
            ++sections;
        } else if (iequals(line, "&gaussian.append") || iequals(line, "&qc_inp_append")) {
            const size_t header = i;
            bool closed = false;
            for (; i < lines.size(); ++i) {
                if (!lines[i].empty() && lines[i][0] == '/') {
                    ++i;
                    closed = true;
                    break;
                }
                qc_inp_append += lines[i];
            }
            if (!closed)
                KRYMO_FATAL_OUT("krymo_inp", 1,
                                format_string("The %s section of %s (line %zu) has no closing line starting with \"/\": "
                                              "the file ends at line %zu. Is it complete?\n",
                                              line.c_str(), input_path.c_str(), header, lines.size()));
        } else if (line[0] == '&') {
            std::string message = format_string("\nUnknown section \"%s\" in file %s!!!\n  on line %zu\n",
                                                line.c_str(), input_path.c_str(), i);
            std::string best;
            size_t distance = 4;
            for (const char* known : kSections) {
                std::string lower = line;
                for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                const size_t d = edit_distance(lower, known);
                if (d < distance) {
                    distance = d;
                    best = known;
                }
            }
            if (!best.empty()) message += format_string("Did you mean \"%s\"?\n", best.c_str());
            KRYMO_FATAL_OUT("krymo_inp", 1, message + "\n");
        } else {
            std::printf("WARNING: %s line %zu lies outside every section and is ignored: \"%s\"\n", input_path.c_str(),
                        i, printable_excerpt(line).c_str());
        }
    }
    if (sections == 0)
        KRYMO_FATAL_OUT("krymo_inp", 1,
                        format_string("%s holds no &transport section%s: a line &transport, the settings as "
                                      "key = value lines and a closing line / are expected\n",
                                      input_path.c_str(), lines.empty() ? " (the file is empty)" : ""));

    // psi4 is found on PATH unless the user names the program.
    if (compute_engine == 4 && !qc_exe_given) qc_exe = "psi4";
    if (mol_data_source == 2) read_data_cif(crystal_path, info);
    if ((compute_engine == 1 && qc_exe.find('g') == std::string::npos) ||
        (compute_engine == 2 && qc_exe.find("orca") == std::string::npos) ||
        (compute_engine == 3 && qc_exe.find("qchem") == std::string::npos) ||
        (compute_engine == 4 && qc_exe.find("psi4") == std::string::npos))
        KRYMO_FATAL_OUT("krymo_inp", 1,
                        format_string("Incomptiable settings:\n  The compute_engine = %d, while qc_exe is set to %s\n"
                                      "  1 - Gaussian, 2 - ORCA, 3 - QCHEM, 4 - psi4\n",
                                      compute_engine, qc_exe.c_str()));
    if (!qc_method_re_given) qc_method_re = qc_method;
    check_temperature_scan();
    if (mol_data_source == 1) check_lattice_vectors();
    update_unique_flags();
    if (krymo_dat_file.empty()) krymo_dat_file = "krymo-" + ratetype + ".dat";
    check_settings_together();
    if (iequals(sched_type, "lsf") && !nodelist.empty())
        for (char& c : nodelist)
            if (c == ',') c = ' ';
    set_reorg_outer_flag(reorg_outer_type);
    input_read = true;
    return 1;
}

}  // namespace krymo

// Gather stage of the workflow: the list files the post-processing tools read, the scripts that submit
// those tools, the checkpoint copies before the reorganization jobs, and the lumping scripts that merge
// per-molecule results into one file per carrier.
#include <algorithm>

#include "transport/script_file.h"
#include "transport/transport.h"
#include "util/fatal.h"
#include "util/text.h"

namespace krymo {

namespace {

const OutputFailure kListFailure = {"transport", 255, true, false};

// "a,b,c": the numbers minus one, as a Python list body.
std::string zero_based_list(const std::vector<int>& numbers) {
    std::string s;
    for (size_t i = 0; i < numbers.size(); ++i) s += format_string(i ? ",%d" : "%d", numbers[i] - 1);
    return s;
}

const char* const kCarrierLetters[] = {"e", "h"};

}  // namespace

// --- molecule lists of the reorganization stages ---

std::vector<int> Transport::RE_molecules() const {
    if (get_unique_RE_calc_flag()) return RE_unique_mols;
    std::vector<int> all;
    for (int m = 1; m <= nmols_uc; ++m) all.push_back(m);
    return all;
}

int Transport::RE_representative(int m) const {
    return get_unique_RE_calc_flag() ? RE_uc_mol_index[m - 1] : m;
}

const char* Transport::qc_output_ext() const {
    Engine e;
    return engine_from_setting(compute_engine, e) ? engine_row(e).output_ext : "";
}

bool Transport::four_point_work() const {
    Engine e;
    return RE_calc_lambda_4P && engine_from_setting(compute_engine, e) && engine_row(e).re_four_point;
}

// --- transfer integrals ---

namespace {

// Entries before each root, and their total last.
std::vector<int> entry_prefix(const std::vector<int>& nnei, int nmols) {
    std::vector<int> prefix(nmols + 1, 0);
    for (int i = 0; i < nmols; ++i) prefix[i + 1] = prefix[i] + nnei[i];
    return prefix;
}

int key_owner(const std::vector<int>& prefix, int key) {
    if (key < 0 || key >= prefix.back()) KRYMO_FATAL_OUT("transport", 255, "neighbor key mapping error!\n");
    return static_cast<int>(std::upper_bound(prefix.begin(), prefix.end(), key) - prefix.begin()) - 1;
}

}  // namespace

int Transport::neighbor_map_key_1d_to_uc_id(int key) const { return key_owner(entry_prefix(nnei, nmols_uc), key); }

void Transport::write_trans_int_files() {
    const std::string path = data_dir + "/trans_int_files.dat";
    const std::string hl = "../" + hl_dir;
    const char* p = hl.c_str();
    const char* ext = qc_output_ext();
    // With unique pairs each line names the files of its representative pair; the two numbers at the
    // end always name the pair itself.
    const bool unique = HL_unique_nei_mol && HL_unique_pair;
    const std::vector<int> prefix = entry_prefix(nnei, nmols_uc);
    TextWriter out;
    open_output(out, path, kListFailure);
    out.printf("%d\n", nmols_uc);
    for (int i = 0, key = 0; i < nmols_uc; ++i) {
        out.printf("%d\n", nnei[i]);
        for (int j = 0; j < nnei[i]; ++j, ++key) {
            const int r = i + 1, n = nei_mol_ids[i][j] + 1;
            if (unique) {
                const int u = HL_pair_index[key], o = key_owner(prefix, u) + 1;
                out.printf("%s/2mol-%d.%s  %s/uc_mol-%d.%s  %s/nei_mol-%d.%s  %d %d\n", p, u + 1, ext, p, o, ext, p,
                           u + 1, ext, r, n);
            } else {
                out.printf("%s/2mol-%d-%d.%s  %s/uc_mol-%d.%s  %s/nei_mol-%d-%d.%s  %d %d\n", p, r, j + 1, ext, p, r,
                           ext, p, r, j + 1, ext, r, n);
            }
        }
    }
    close_output(out, kListFailure);
}

void Transport::write_get_transint_py() {
    ScriptFile py(scr_dir + "/get_transint.py");
    py.write("#!/usr/bin/env python\nimport os\n\n");
    // Q-Chem names its formatted checkpoints ".FChk"; the coupling tool looks for ".fchk".
    if (compute_engine == 3) py.printf("os.system(\"python %s/qchem_fchk_ext_lowercase.py %s\")\n\n", scr_dir.c_str(), hl_dir.c_str());
    std::string tool = "qcpost_coupling.exe", last;
    Engine e;
    if (get_job_moo_flag()) tool = "qcpost_dimer_overlap.exe";
    else if (engine_from_setting(compute_engine, e)) (engine_row(e).coupling_flag_last ? last : tool) += engine_row(e).coupling_flag;
    const std::string script = job_dir + "/job_transint", marker = run_dir + "/running.run_transint";
    write_calc_transint_job(script, 1, qc_ppn, "transint", marker,
                            format_string("%s -batch %s%s\n", tool.c_str(), "trans_int_files.dat", last.c_str()), data_dir);
    py.touch(workdir, marker);
    py.printf("os.system(\"%s %s.%s\")\n\n", get_job_submit_command(), script.c_str(), get_job_script_ext());
    py.finish();
}

// --- site energies and the reorganization energies around them ---

void Transport::write_site_energy_scripts() {
    struct SiteJob {
        const char* script;
        const char* head;
        const char* job;
        std::string command;
        bool back_to_cwd;
    };
    const std::string int_ener = format_string("cd %s\nqcpost_eint.exe -batch %s -neighbor -qcflag %d\n",
                                               data_dir.c_str(), "SE_einternal_files.dat", compute_engine);
    const std::string outer = std::string(reorg_outer_type != 0 ? "qcpost_outer_sphere.exe\n" : "") + "qcpost_polarize.exe\n";
    const char* const kChdirHead = "#!/usr/bin/env python\nimport os,sys\n\ncwd = os.getcwd()\n\n";
    const SiteJob jobs[] = {
        {"get_site_ener.py", "#!/usr/bin/env python\nimport os\nimport sys\n\n", "get_site_ener", "qcpost_siteen.exe\n", false},
        {"get_RE_int_ener.py", kChdirHead, "get_re_int_ener", int_ener, true},
        {"get_RE_outer_ener.py", kChdirHead, "get_re_outer", outer, true},
    };
    for (const SiteJob& j : jobs) {
        ScriptFile py(scr_dir + "/" + j.script);
        py.write(j.head);
        const std::string script = job_dir + "/" + j.job, marker = run_dir + "/running." + j.job;
        write_calc_siteEner_job(script, 1, qc_ppn, j.job, marker, j.command, data_dir);
        py.touch(workdir, marker);
        py.printf("\nos.system(\"%s %s/%s.%s\")\n\n", get_job_submit_command(), job_dir.c_str(), j.job, get_job_script_ext());
        if (j.back_to_cwd) py.write("os.chdir(cwd)\n\n");
        py.finish();
        // The internal-energy tool reads its list, written right after the site-energy script.
        if (j.job == jobs[0].job) {
            TextWriter out;
            open_output(out, data_dir + "/SE_einternal_files.dat", kListFailure);
            out.printf("%d\n", nmols_uc);
            const std::string re = "../" + re_dir;
            for (int m = 1; m <= nmols_uc; ++m) {
                const int r = RE_representative(m);
                out.printf("%s/re-mol%d-anion.log %s/re-mol%d-cation.log %s/re-mol%d-neutral.log\n", re.c_str(), r,
                           re.c_str(), r, re.c_str(), r);
            }
            close_output(out, kListFailure);
        }
    }
}

// --- checkpoint copies before the charged-state and four-point jobs ---

void Transport::write_chk_copy_script(bool four_point) {
    ScriptFile py(scr_dir + (four_point ? "/copy_RE_lambda_4P_files.py" : "/copy_neutral_chk_files.py"));
    py.write(four_point ? "#!/usr/bin/env python\nimport os, sys\nimport shutil\n\n" : "#!/usr/bin/env python\nimport os\nimport shutil\n\n");
    py.printf("cwd = os.getcwd()\nos.chdir('%s')\n\n", re_dir.c_str());
    if (four_point) py.write("sys.stdout.write('  Prepare lambda 4P chk files...\\n')\n");
    for (int m : RE_molecules()) {
        if (four_point) {
            // Only the charged state that was computed has a checkpoint: copying the other stops the script.
            if (electron_work()) py.printf("shutil.copy('re-mol%d-neutral.chk', 're-mol%d-neutral_eN.chk')\n", m, m);
            if (hole_work()) py.printf("shutil.copy('re-mol%d-neutral.chk', 're-mol%d-neutral_hN.chk')\n", m, m);
            if (electron_work()) py.printf("shutil.copy('re-mol%d-anion.chk',   're-mol%d-anion_nC.chk'  )\n", m, m);
            if (hole_work()) py.printf("shutil.copy('re-mol%d-cation.chk',  're-mol%d-cation_nC.chk' )\n", m, m);
        } else {
            py.printf("shutil.copy('re-mol%d-neutral.chk', 're-mol%d-anion.chk')\n", m, m);
            py.printf("shutil.copy('re-mol%d-neutral.chk', 're-mol%d-cation.chk')\n", m, m);
        }
    }
    py.write("\nos.chdir(cwd)\n\n");
    py.finish();
}

void Transport::write_copy_neutral_chk_files_py() { write_chk_copy_script(false); }
void Transport::write_copy_RE_lambda_4P_files_py() { write_chk_copy_script(true); }

void Transport::write_RE_lambda_4P_list(bool hole) {
    const char* charged = hole ? "cation" : "anion";
    const char* pair = hole ? "hN" : "eN";
    const char* ext = qc_output_ext();
    TextWriter out;
    open_output(out, format_string("%s/re_lambda_4P_files-%s.dat", data_dir.c_str(), hole ? "h" : "e"), kListFailure);
    out.printf("%d\n", nmols_uc);
    const std::string re = "../" + re_dir;
    const char* p = re.c_str();
    for (int m = 1; m <= nmols_uc; ++m) {
        const int r = RE_representative(m);
        out.printf("%s/re-mol%d-%s_nC.%s %s/re-mol%d-neutral.%s %s/re-mol%d-neutral_%s.%s %s/re-mol%d-%s.%s\n", p,
                   r, charged, ext, p, r, ext, p, r, pair, ext, p, r, charged, ext);
    }
    close_output(out, kListFailure);
}

void Transport::write_get_RE_lambda_4P_py() {
    ScriptFile py(scr_dir + "/get_RE_lambda_4P.py");
    py.printf("#!/usr/bin/env python\nimport os\n\ncwd = os.getcwd()\nos.chdir('%s')\n\n", data_dir.c_str());
    for (int c = 0; c < 2; ++c)
        if (c == 0 ? electron_work() : hole_work())
            py.printf("os.system('qcpost_lambda4p.exe -batch re_lambda_4P_files-%s.dat')\n", kCarrierLetters[c]);
    py.write("\nos.chdir(cwd)\n\n");
    py.finish();
}

// --- lumping scripts: one template, four members ---

namespace {

struct LumpRow {
    const char* script;
    const char* imports;        // header import lines
    const char* announce;       // section line before the test, "%s" = carrier letter
    const char* piece_prefix;   // piece of molecule m: prefix + (m+1) + suffix
    const char* piece_suffix;   // "%s" = carrier letter
    const char* merged;         // "%s" = carrier letter
    bool first_line_only;       // each piece contributes its first line, then a closing comment line
    bool unique_aware;          // copies the representative's piece to every molecule, removes outside the test
    const char* remove_comment; // "%s" = carrier letter (unique-aware members only)
};

const LumpRow kLumps[] = {
    {"merge_evc_NM_output.py", "import os, sys\n\n", "sys.stdout.write('  Lumping NM*-%s.dat...\\n')\n", "NM",
     "-%s.dat", "NM-%s.dat", false, true, "# remove NM*-%s.dat\n"},
    {"merge_RE_int_ener_output.py", "import os, sys\n\n", "sys.stdout.write('  Lumping SE_einternal*-%s.dat...\\n')\n",
     "SE_einternal", "-%s.dat", "SE_einternal-%s.dat", false, false, nullptr},
    {"merge_RE_outer_lambda_output.py", "import os, sys\n\n",
     "sys.stdout.write('  Lumping reorg_lambda_outer*-%s.dat...\\n')\n", "reorg_lambda_outer", "-%s.dat",
     "reorg_lambda_outer-%s.dat", false, false, nullptr},
    {"get_RE_lambda_evc.py", "import os\n\n", "# Lump mol*_lambda_%s.dat\n", "mol", "_lambda-%s.dat",
     "mol_lambda_evc-%s.dat", true, true, "# Remove mol*_lambda_%s.dat\n"},
};

}  // namespace

void Transport::write_lumping_script(LumpKind kind) {
    const LumpRow& r = kLumps[static_cast<int>(kind)];
    const bool unique = r.unique_aware && get_unique_RE_calc_flag();
    std::string copy_loop = format_string("range(%d)", nmols_uc), remove_loop = copy_loop;
    if (unique) {
        // Every molecule receives its representative's piece; only the representatives' pieces exist.
        copy_loop = "[" + zero_based_list(RE_uc_mol_index) + "]";
        remove_loop = "[" + zero_based_list(RE_unique_mols) + "]";
    }
    ScriptFile py(scr_dir + "/" + r.script);
    py.printf("#!/usr/bin/env python\n%scwd = os.getcwd()\nos.chdir('%s')\n\n", r.imports, data_dir.c_str());
    for (int c = 0; c < 2; ++c) {
        if (!(c == 0 ? electron_work() : hole_work())) continue;
        const char* e = kCarrierLetters[c];
        const std::string suffix = format_string(r.piece_suffix, e);
        const std::string piece = format_string("'%s' + str(m+1) + '%s'", r.piece_prefix, suffix.c_str());
        py.printf(r.announce, e);
        py.printf("if os.path.isfile('%s1%s'):\n", r.piece_prefix, suffix.c_str());
        py.printf("    with open('%s', 'w') as outfile:\n", format_string(r.merged, e).c_str());
        py.printf("        outfile.write('%d\\n')\n", nmols_uc);
        py.printf("        for m in %s:\n", copy_loop.c_str());
        py.printf("            fnmstr = %s\n", piece.c_str());
        py.write("            with open(fnmstr, 'r') as infile:\n");
        if (r.first_line_only) {
            py.write("                outfile.write('%s' % infile.readline())\n");
            py.write("        outfile.write('# reorganization energies: lam lam1 lam2 [meV]\\n')\n\n");
        } else {
            py.write("                for line in infile:\n                    outfile.write(line)\n\n");
        }
        if (r.unique_aware) {
            // The pieces are copies (the originals stay in the normal-mode tree): remove what exists.
            py.printf(r.remove_comment, e);
            py.printf("for m in %s:\n", remove_loop.c_str());
            py.printf("    fnmstr = %s\n", piece.c_str());
            py.write("    if os.path.isfile(fnmstr):\n        os.remove(fnmstr)\n\n");
        } else {
            py.printf("    for m in range(%d):\n", nmols_uc);
            py.printf("        fnmstr = %s\n", piece.c_str());
            py.write("        os.remove(fnmstr)\n\n");
        }
    }
    py.write("os.chdir(cwd)\n\n");
    py.finish();
}

void Transport::write_merge_evc_NM_output_py() { write_lumping_script(LumpKind::NormalModes); }
void Transport::write_merge_RE_int_ener_output_py() { write_lumping_script(LumpKind::InternalEnergy); }
void Transport::write_merge_RE_outer_lambda_output_py() { write_lumping_script(LumpKind::OuterLambda); }
void Transport::write_get_RE_lambda_evc_py() { write_lumping_script(LumpKind::LambdaEvc); }

}  // namespace krymo

// Transfer-integral job sets: every unit-cell molecule, neighbour image and pair calculation of the
// chosen program, with its job scripts and the runner that submits them. One writer serves the three
// kinds, plain and unique, single jobs and arrays; the engine and kind tables hold the differences.
#include "transport/jobsets/runner_script.h"
#include "transport/transport.h"
#include "util/linalg.h"
#include "util/progress.h"
#include "util/text.h"

namespace krymo {

namespace {

const OutputFailure kRunnerFailure = {"transport", 1, true, false};

// One calculation: its name, Gaussian title, array member number, and where its atoms come from
// (unit-cell molecule `mol`, or entry `entry` of root `root`); the atoms are built only when the
// input is written, so a large study never holds every geometry at once.
struct HlCalc {
    std::string name;
    std::string title;
    int member = 0;
    int mol = -1;
    int root = -1, entry = -1;
};

// The calculations submitted together: one array job in array mode.
struct HlGroup {
    std::string job;     // array job name
    std::string names;   // base of the member names
    std::string marker;  // base of the member markers
    bool listed = false; // members are the listed numbers rather than 1..count
    std::vector<HlCalc> calcs;
};

}  // namespace

void Transport::append_image(int mol, const int* cell, QcGeometry& g) const {
    const int n = mol_natoms[mol];
    for (int p = 0; p < n; ++p) {
        double frac[3], cart[3];
        for (int d = 0; d < 3; ++d) frac[d] = mol_x_s[mol][3 * p + d] + (cell ? cell[d] : 0);
        mat_vec_mul(cif_lattice_vectors, frac, cart);
        g.types.push_back(mol_atypes[mol][p]);
        g.x.insert(g.x.end(), cart, cart + 3);
    }
}

void Transport::write_HL_input(Engine e, const std::string& name, const std::string& title,
                               const QcGeometry& g) const {
    const std::string path = format_string("%s/%s.%s", hl_dir.c_str(), name.c_str(), engine_row(e).input_ext);
    const int n = static_cast<int>(g.types.size());
    const int* t = g.types.data();
    const double* x = g.x.data();
    switch (e) {
        case Engine::Gaussian:
            write_gau_mol_com_HL(path, n, t, x, title, name, qc_basis, qc_memory, get_run_nodes(), get_run_ppn(),
                                 qc_inp_append);
            break;
        case Engine::Orca:
            write_orca_mol_inp_HL(path, n, t, x, qc_memory, get_run_ppn(), qc_method, qc_basis, qc_inp_append);
            break;
        case Engine::Qchem:
            write_qchem_mol_inp_HL(path, n, t, x, qc_memory, get_run_ppn(), qc_method, qc_basis, qc_inp_append);
            break;
        case Engine::Psi4:
            write_psi4_mol_inp_HL(path, n, t, x, qc_memory, qc_method, qc_basis, qc_inp_append);
            break;
    }
}

void Transport::write_HL_job_set(Engine e, HlKind kind, bool unique) {
    const EngineRow& E = engine_row(e);
    const HlKindRow& K = hl_kind_row(kind);
    const std::string stem = K.stem;
    parse_scheduling_type();
    create_directory(scr_dir);
    create_directory(hl_dir);

    RunnerHeader header;
    header.dir = hl_dir;
    header.single_quotes = kind == HlKind::UcMol && unique && E.uc_unique_single_quotes;
    header.one_line_end = kind == HlKind::UcMol && !unique && E.uc_plain_one_line_end;
    header.file_modules = kind == HlKind::Dimer && E.dimer_file_modules;
    RunnerScript runner(scr_dir + "/" + K.runner, header, kRunnerFailure);

    const int nodes = get_run_nodes(), ppn = get_run_ppn();
    const std::string submit = get_job_submit_command(), ext = get_job_script_ext();
    const std::string marker_base = run_dir + "/running.HL_";

    auto pair_calc = [&](int i, int k, const std::string& name) {
        HlCalc c;
        c.name = name;
        c.title = kind == HlKind::Dimer ? format_string("2mol-%d-%d", i + 1, k + 1) : "nei_mol";
        c.root = i;
        c.entry = k;
        return c;
    };
    auto uc_calc = [&](int m) {
        HlCalc c;
        c.name = format_string("uc_mol-%d", m);
        c.title = "uc_mol";
        c.member = m;
        c.mol = m - 1;
        return c;
    };
    // A unit-cell molecule where it is; a neighbour image, after the root itself for a pair.
    auto geometry = [&](const HlCalc& c) {
        QcGeometry g;
        if (c.mol >= 0) {
            g.types = mol_atypes[c.mol];
            g.x = mol_x[c.mol];
            return g;
        }
        if (kind == HlKind::Dimer) append_image(c.root, nullptr, g);
        append_image(nei_mol_ids[c.root][c.entry], &nei_cindex[c.root][3 * c.entry], g);
        return g;
    };

    std::vector<HlGroup> groups;
    auto whole_set = [&](const std::string& marker_name) {
        HlGroup g;
        g.job = "job_" + stem;
        g.names = stem;
        g.marker = marker_base + marker_name;
        g.listed = unique;
        groups.push_back(std::move(g));
        return &groups.back();
    };
    if (kind == HlKind::UcMol) {
        HlGroup* g = whole_set(stem);
        if (unique) {
            for (int m : HL_unique_mols) g->calcs.push_back(uc_calc(m));
        } else {
            for (int m = 1; m <= nmols_uc; ++m) g->calcs.push_back(uc_calc(m));
        }
    } else if (unique) {
        HlGroup* g = whole_set(kind == HlKind::Dimer && E.unique_dimer_marker_suffix ? stem + "_unique" : stem);
        // Unique pairs are numbered by their global pair number, root by root.
        size_t next = 0;
        int global = 0;
        for (int i = 0; i < nmols_uc; ++i)
            for (int k = 0; k < nnei[i]; ++k) {
                ++global;
                while (next < HL_unique_pairs.size() && HL_unique_pairs[next] < global) ++next;
                if (next == HL_unique_pairs.size() || HL_unique_pairs[next] != global) continue;
                HlCalc c = pair_calc(i, k, format_string("%s-%d", stem.c_str(), global));
                c.member = global;
                g->calcs.push_back(std::move(c));
            }
    } else {
        for (int i = 0; i < nmols_uc; ++i) {
            HlGroup g;
            g.job = format_string("job_%s-%d", stem.c_str(), i + 1);
            g.names = format_string("%s-%d", stem.c_str(), i + 1);
            g.marker = format_string("%s%s-%d", marker_base.c_str(), stem.c_str(), i + 1);
            for (int k = 0; k < nnei[i]; ++k) {
                HlCalc c = pair_calc(i, k, format_string("%s-%d-%d", stem.c_str(), i + 1, k + 1));
                c.member = k + 1;
                g.calcs.push_back(std::move(c));
            }
            groups.push_back(std::move(g));
        }
    }

    size_t total = 0;
    for (const HlGroup& g : groups) total += g.calcs.size();
    StudyJobSet& record = begin_study_job_set(K.set_key, K.set_title, scr_dir + "/" + K.runner);
    auto record_calc = [&](const HlCalc& c, const std::string& marker) {
        record.jobs.push_back({c.name, format_string("%s/%s.%s", hl_dir.c_str(), c.name.c_str(), E.input_ext),
                               format_string("%s/%s.%s", hl_dir.c_str(), c.name.c_str(), E.output_ext), marker,
                               format_string("%s/ERROR-HL_%s", run_dir.c_str(), c.name.c_str()), ""});
        ++record.inputs;
        ++record.submissions;
    };
    Progress progress(std::string("HL inputs ") + K.stem, static_cast<long long>(total));
    for (const HlGroup& g : groups) {
        for (const HlCalc& c : g.calcs) write_HL_input(e, c.name, c.title, geometry(c));
        progress.add(static_cast<long long>(g.calcs.size()));
        if (!sched_job_array) {
            for (const HlCalc& c : g.calcs) {
                const std::string job = "job_" + c.name, marker = marker_base + c.name;
                write_HL_job_of_kind(E.hl_kind, job, nodes, ppn, c.name, c.name, marker);
                record_calc(c, marker);
                ++record.scripts;
                if (unique || E.plain_separator) runner.separator();
                runner.touch(workdir, marker);
                runner.submit(submit, job_dir, job, ext);
            }
            continue;
        }
        // A scheduler refuses an array without members: such a group is not submitted at all.
        if (g.calcs.empty()) continue;
        std::vector<int> members;
        for (const HlCalc& c : g.calcs) members.push_back(c.member);
        write_HL_job_array_of_kind(E.hl_kind, g.job, nodes, ppn, g.names, g.names, g.marker,
                                   static_cast<int>(members.size()), g.listed ? &members : nullptr);
        for (int m : members) runner.touch(workdir, g.marker, m);
        for (const HlCalc& c : g.calcs) record_calc(c, format_string("%s-%d", g.marker.c_str(), c.member));
        ++record.scripts;
        if (unique) {
            runner.blank();
            if (E.unique_array_separator) runner.separator();
        } else if (E.plain_separator) {
            runner.separator();
        } else if (K.plain_array_blank) {
            runner.blank();
        }
        runner.submit(submit, job_dir, g.job, ext, unique && kind == HlKind::UcMol && E.uc_unique_single_quotes);
    }
    progress.finish();
    runner.finish();
}

// --- the named job sets ---

void Transport::write_HL_gaussian_mol_one_gjf_and_job_uc() { write_HL_job_set(Engine::Gaussian, HlKind::UcMol, false); }
void Transport::write_HL_gaussian_mol_one_gjf_and_job_uc_unique() { write_HL_job_set(Engine::Gaussian, HlKind::UcMol, true); }
void Transport::write_HL_gaussian_mol_one_gjf_and_job_nei() { write_HL_job_set(Engine::Gaussian, HlKind::NeiMol, false); }
void Transport::write_HL_gaussian_mol_one_gjf_and_job_nei_unique() { write_HL_job_set(Engine::Gaussian, HlKind::NeiMol, true); }
void Transport::write_HL_gaussian_2mol_gjf_and_job() { write_HL_job_set(Engine::Gaussian, HlKind::Dimer, false); }
void Transport::write_HL_gaussian_2mol_gif_and_job_unique() { write_HL_job_set(Engine::Gaussian, HlKind::Dimer, true); }
void Transport::write_HL_orca_mol_one_inp_and_job_uc() { write_HL_job_set(Engine::Orca, HlKind::UcMol, false); }
void Transport::write_HL_orca_mol_one_inp_and_job_uc_unique() { write_HL_job_set(Engine::Orca, HlKind::UcMol, true); }
void Transport::write_HL_orca_mol_one_inp_and_job_nei() { write_HL_job_set(Engine::Orca, HlKind::NeiMol, false); }
void Transport::write_HL_orca_mol_one_inp_and_job_nei_unique() { write_HL_job_set(Engine::Orca, HlKind::NeiMol, true); }
void Transport::write_HL_orca_2mol_inp_and_job() { write_HL_job_set(Engine::Orca, HlKind::Dimer, false); }
void Transport::write_HL_orca_2mol_inp_and_job_unique() { write_HL_job_set(Engine::Orca, HlKind::Dimer, true); }
void Transport::write_HL_qchem_mol_one_inp_and_job_uc() { write_HL_job_set(Engine::Qchem, HlKind::UcMol, false); }
void Transport::write_HL_qchem_mol_one_inp_and_job_uc_unique() { write_HL_job_set(Engine::Qchem, HlKind::UcMol, true); }
void Transport::write_HL_qchem_mol_one_inp_and_job_nei() { write_HL_job_set(Engine::Qchem, HlKind::NeiMol, false); }
void Transport::write_HL_qchem_mol_one_inp_and_job_nei_unique() { write_HL_job_set(Engine::Qchem, HlKind::NeiMol, true); }
void Transport::write_HL_qchem_2mol_inp_and_job() { write_HL_job_set(Engine::Qchem, HlKind::Dimer, false); }
void Transport::write_HL_qchem_2mol_inp_and_job_unique() { write_HL_job_set(Engine::Qchem, HlKind::Dimer, true); }

}  // namespace krymo

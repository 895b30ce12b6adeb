#include "jobs/job_scripts.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "jobs/job_arrays.h"
#include "jobs/job_kinds.h"
#include "jobs/schedulers.h"
#include "util/fatal.h"
#include "util/files.h"
#include "util/text.h"

namespace krymo {

namespace {

const char* const kUnit = "job_scripts";

JobTexts texts(int nodes, int ppn, const std::string& name, const std::string& tag, const std::string& marker,
               const std::string& command = std::string(), const std::string& dir = std::string()) {
    JobTexts t;
    t.nodes = nodes;
    t.ppn = ppn;
    t.name = name;
    t.tag = tag;
    t.marker = marker;
    t.command = command;
    t.dir = dir;
    return t;
}

// The characters of `text` that cannot sit unquoted in a shell or Python line, described for a person
// ("a blank, ';', '$'"), or "" when there are none. `$NAME` and `${NAME}` stay when variables are allowed:
// a scratch folder under $TMPDIR is expanded on the node, as intended.
std::string unsafe_script_chars(const std::string& text, bool blanks_allowed, bool variables_allowed) {
    std::string found;
    auto add = [&found](const std::string& what) {
        if (found.find(what) == std::string::npos) found += (found.empty() ? "" : ", ") + what;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const unsigned char next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (c == ' ' || c == '\t') {
            if (!blanks_allowed) add(c == ' ' ? "a blank" : "a tab");
        } else if (c == '\n' || c == '\r') {
            add("a line break");
        } else if (c < 0x20 || c == 0x7f) {
            add("a control character");
        } else if (c == '$') {
            if (!variables_allowed || !(std::isalpha(next) || next == '_' || next == '{')) add("'$'");
        } else if (std::strchr("'\"`\\;&|<>", c) != nullptr) {
            add(format_string("'%c'", c));
        }
    }
    return found;
}

}  // namespace

void Jobscript::check_spliced_texts(const std::string& input) const {
    const char* avoid = "blanks, quotes, '$', '`', '\\', ';', '&', '|', '<', '>' or line breaks";
    const std::string bad_dir = unsafe_script_chars(workdir, false, false);
    if (!bad_dir.empty())
        KRYMO_FATAL_OUT(kUnit, 1,
                        format_string("The study folder \"%s\" holds %s, which the generated job scripts cannot "
                                      "carry.\n  Run the study in a folder whose path has no %s.\n",
                                      workdir.c_str(), bad_dir.c_str(), avoid));
    const struct {
        const char* key;
        const std::string& value;
        bool blanks, variables;
    } spliced[] = {
        {"scratch", scratch, false, true},
        {"queue_name", queue_name, false, false},
        {"nodelist", nodelist, true, false},  // LSF lists hosts separated by blanks
        {"module_qc", module_qc, true, false},  // "module load a b" loads several
        {"module_mpich2", module_mpich2, true, false},
    };
    for (const auto& t : spliced) {
        const std::string bad = unsafe_script_chars(t.value, t.blanks, t.variables);
        if (!bad.empty())
            KRYMO_FATAL_OUT(kUnit, 1,
                            format_string("The value of %s in %s, \"%s\", holds %s, which the generated job "
                                          "scripts cannot carry.\n",
                                          t.key, input.c_str(), t.value.c_str(), bad.c_str()));
    }
}

Jobscript::Jobscript() {
    // Every script names absolute paths below the work directory: without it they would point at "/HL".
    std::vector<char> buf(4096);
    while (getcwd(buf.data(), buf.size()) == nullptr) {
        if (errno != ERANGE || buf.size() >= (1u << 20))
            KRYMO_FATAL_ERR(kUnit, 255, format_string("Cannot determine the working directory: %s\n", std::strerror(errno)));
        buf.resize(buf.size() * 2);
    }
    workdir = buf.data();
}

void Jobscript::parse_scheduling_type() {
    const int i = find_scheduler(sched_type);
    job_sched_type = i < 0 ? kSchedPBS : i;
}

const char* Jobscript::get_job_script_ext() const {
    return job_sched_type >= 0 && job_sched_type < kSchedCount ? scheduler_row(job_sched_type).ext : "";
}

const char* Jobscript::get_job_submit_command() const {
    return job_sched_type >= 0 && job_sched_type < kSchedCount ? scheduler_row(job_sched_type).submit : "";
}

JobSettings Jobscript::job_settings() const {
    JobSettings s;
    s.workdir = workdir;
    s.queue_name = queue_name;
    s.nodelist = nodelist;
    s.scratch = scratch;
    s.qc_exe = shell_command(qc_exe);  // a path with blanks or quotes stays one word
    s.module_qc = module_qc;
    s.module_qc_flag = module_qc_flag;
    s.module_mpich2 = module_mpich2;
    s.module_mpich2_flag = module_mpich2_flag;
    s.moo = job_moo_flag;
    s.formchk = chk_converter;
    s.orca_2mkl = orca_converter;
    s.orbital_extractor = orbital_extractor;
    s.orca_extra_args = orca_extra_args;
    s.log_ext = log_ext;
    s.walltime_hours = job_walltime;
    return s;
}

std::string Jobscript::job_script_path(JobKind kind, const std::string& script) const {
    const char* ext = get_job_script_ext();
    return job_kind_row(kind).in_job_dir ? format_string("%s/%s.%s", job_dir.c_str(), script.c_str(), ext)
                                         : format_string("%s.%s", script.c_str(), ext);
}

std::string Jobscript::prepare_script(JobKind kind, const std::string& script) const {
    if (job_sched_type < 0 || job_sched_type >= kSchedCount) KRYMO_FATAL_ERR(kUnit, 255, "Unknown job scheduling type!\n");
    if (job_kind_row(kind).in_job_dir) create_directory(job_dir);
    return job_script_path(kind, script);
}

void Jobscript::write_script_file(const std::string& path, const std::string& text) const {
    TextWriter w;
    open_output(w, path, {kUnit, 255, true, false});
    w.write(text);
    close_output(w, {kUnit, 255, true, false});
}

void Jobscript::write_job(JobKind kind, const std::string& script, const JobTexts& t) {
    const std::string path = prepare_script(kind, script);
    write_script_file(path, compose_job_script(kind, job_sched_type, job_settings(), t));
}

void Jobscript::write_job_array(JobKind kind, const std::string& script, const JobTexts& t, int count,
                                const std::vector<int>* indices) {
    const std::string path = prepare_script(kind, script);
    // An array without members would be an invalid submission (and a local script that does nothing).
    if (count <= 0)
        KRYMO_FATAL_ERR(kUnit, 1,
                        format_string("Job array %s has no members (count %d); an empty job array is not written.\n",
                                      path.c_str(), count));
    if (indices != nullptr && static_cast<int>(indices->size()) != count)
        KRYMO_FATAL_ERR(kUnit, 1,
                        format_string("Job array %s: %d members announced but %d indices listed.\n", path.c_str(),
                                      count, static_cast<int>(indices->size())));
    const ArrayMembers members = array_members(count, indices, job_slot_limit);
    write_script_file(path, compose_job_array_script(kind, job_sched_type, job_settings(), t, members));
}

void Jobscript::write_HL_job_of_kind(JobKind kind, const std::string& script, int nodes, int ppn,
                                     const std::string& name, const std::string& tag, const std::string& marker) {
    write_job(kind, script, texts(nodes, ppn, name, tag, marker));
}

void Jobscript::write_HL_job_array_of_kind(JobKind kind, const std::string& script, int nodes, int ppn,
                                           const std::string& name, const std::string& tag,
                                           const std::string& marker, int count, const std::vector<int>* indices) {
    write_job_array(kind, script, texts(nodes, ppn, name, tag, marker), count, indices);
}

void Jobscript::write_RE_job_of_kind(JobKind kind, const std::string& script, int nodes, int ppn,
                                     const std::string& name, const std::string& tag, const std::string& marker,
                                     const std::string& command) {
    write_job(kind, script, texts(nodes, ppn, name, tag, marker, command));
}

// --- entry points ---

void Jobscript::write_gaussian_HL_job(const std::string& script, int nodes, int ppn, const std::string& name,
                                      const std::string& tag, const std::string& marker) {
    write_HL_job_of_kind(JobKind::gaussian_HL, script, nodes, ppn, name, tag, marker);
}

void Jobscript::write_orca_HL_job(const std::string& script, int nodes, int ppn, const std::string& name,
                                  const std::string& tag, const std::string& marker) {
    write_HL_job_of_kind(JobKind::orca_HL, script, nodes, ppn, name, tag, marker);
}

void Jobscript::write_qchem_HL_job(const std::string& script, int nodes, int ppn, const std::string& name,
                                   const std::string& tag, const std::string& marker) {
    write_HL_job_of_kind(JobKind::qchem_HL, script, nodes, ppn, name, tag, marker);
}

void Jobscript::write_gaussian_RE_job(const std::string& script, int nodes, int ppn, const std::string& command,
                                      const std::string& tag, const std::string& marker) {
    write_job(JobKind::gaussian_RE, script, texts(nodes, ppn, "", tag, marker, command));
}

void Jobscript::write_orca_RE_job(const std::string& script, int nodes, int ppn, const std::string& name,
                                  const std::string& tag, const std::string& marker, const std::string& command) {
    write_job(JobKind::orca_RE, script, texts(nodes, ppn, name, tag, marker, command));
}

void Jobscript::write_qchem_RE_job(const std::string& script, int nodes, int ppn, const std::string& name,
                                   const std::string& tag, const std::string& marker, const std::string& command) {
    write_job(JobKind::qchem_RE, script, texts(nodes, ppn, name, tag, marker, command));
}

void Jobscript::write_RE_mps_job(const std::string& script, int nodes, int ppn, const std::string& name,
                                 const std::string& tag, const std::string& marker, const std::string& command) {
    write_job(JobKind::RE_mps, script, texts(nodes, ppn, name, tag, marker, command));
}

void Jobscript::write_MC_job(const std::string& script, int nodes, int ppn, const std::string& command,
                             const std::string& tag, const std::string& marker) {
    write_job(JobKind::MC, script, texts(nodes, ppn, "", tag, marker, command));
}

void Jobscript::write_calc_mob_job(const std::string& script, int nodes, int ppn, const std::string& tag,
                                   const std::string& marker, const std::string& command) {
    write_job(JobKind::calc_mob, script, texts(nodes, ppn, "", tag, marker, command));
}

void Jobscript::write_ME_job(const std::string& script, int nodes, int ppn, const std::string& command,
                             const std::string& tag, const std::string& marker) {
    write_job(JobKind::ME, script, texts(nodes, ppn, "", tag, marker, command));
}

void Jobscript::write_calc_transint_job(const std::string& script, int nodes, int ppn, const std::string& tag,
                                        const std::string& marker, const std::string& command,
                                        const std::string& dir) {
    write_job(JobKind::calc_transint, script, texts(nodes, ppn, "", tag, marker, command, dir));
}

void Jobscript::write_calc_siteEner_job(const std::string& script, int nodes, int ppn, const std::string& tag,
                                        const std::string& marker, const std::string& command,
                                        const std::string& dir) {
    write_job(JobKind::calc_siteEner, script, texts(nodes, ppn, "", tag, marker, command, dir));
}

void Jobscript::write_calc_getRE_job(const std::string& script, int nodes, int ppn, const std::string& tag,
                                     const std::string& marker, const std::string& command) {
    write_job(JobKind::calc_getRE, script, texts(nodes, ppn, "", tag, marker, command));
}

void Jobscript::write_gaussian_HL_job_array(const std::string& script, int nodes, int ppn, const std::string& name,
                                            const std::string& tag, const std::string& marker, int count,
                                            const std::vector<int>* indices) {
    write_HL_job_array_of_kind(JobKind::gaussian_HL, script, nodes, ppn, name, tag, marker, count, indices);
}

void Jobscript::write_orca_HL_job_array(const std::string& script, int nodes, int ppn, const std::string& name,
                                        const std::string& tag, const std::string& marker, int count,
                                        const std::vector<int>* indices) {
    write_HL_job_array_of_kind(JobKind::orca_HL, script, nodes, ppn, name, tag, marker, count, indices);
}

void Jobscript::write_qchem_HL_job_array(const std::string& script, int nodes, int ppn, const std::string& name,
                                         const std::string& tag, const std::string& marker, int count,
                                         const std::vector<int>* indices) {
    write_HL_job_array_of_kind(JobKind::qchem_HL, script, nodes, ppn, name, tag, marker, count, indices);
}

}  // namespace krymo

#include "qcpost/wavefunction.h"

#include "qcpost/fchk.h"
#include "util/files.h"
#include "util/text.h"

namespace krymo {
namespace qcpost {

namespace {

const EngineFiles kEngineFiles[] = {
    {QcEngine::Gaussian, "", "log"},
    {QcEngine::Orca, "-orca", "out"},
    {QcEngine::Qchem, "-qchem", "out"},
    {QcEngine::Psi4, "-psi4", "out"},
};

void check_normal_end(QcEngine engine, const std::string& path, const std::string& text) {
    if (!ended_normally(engine, text))
        input_error(path, line_of(text, text.size()),
                    format_string("the %s run did not end normally (no \"%s\" line): rerun the job", engine_name(engine),
                                  normal_end_text(engine)));
}

// Q-Chem (gui = 2, renamed to lower case) and psi4 (fchk()) leave their numbers in <stem>.fchk and
// say in <stem>.out whether the run ended well.
Wavefunction read_fchk_run(QcEngine engine, const std::string& stem) {
    const std::string out = stem + ".out";
    check_normal_end(engine, out, read_text_file(out));
    return wavefunction_from_fchk(read_fchk(stem + ".fchk"));
}

Wavefunction read_gaussian(const std::string& stem) {
    const std::string log = stem + ".log";
    const std::string text = read_text_file(log);
    check_normal_end(QcEngine::Gaussian, log, text);
    // formchk's file holds every number at full precision, the log only five digits.
    if (file_exists(stem + ".fchk")) return wavefunction_from_fchk(read_fchk(stem + ".fchk"));
    return read_gaussian_log(log, text);
}

Wavefunction read_orca(const std::string& stem) {
    const std::string out = stem + ".out";
    const std::string text = read_text_file(out);
    check_normal_end(QcEngine::Orca, out, text);
    return read_orca_out(out, text);
}

Eigen::MatrixXd mo_matrix(const FchkFile& f, const std::string& name, int nbasis, int nmo) {
    const std::vector<double>& v = f.reals(name);
    if (v.size() != static_cast<size_t>(nbasis) * static_cast<size_t>(nmo))
        input_error(f.path, f.line(name),
                    format_string("\"%s\": %d x %d values expected, %zu found", name.c_str(), nmo, nbasis, v.size()));
    // Orbital after orbital: each orbital's coefficients are contiguous, a column here.
    return Eigen::Map<const Eigen::MatrixXd>(v.data(), nbasis, nmo);
}

Eigen::VectorXd energy_vector(const FchkFile& f, const std::string& name, int nmo) {
    const std::vector<double>& v = f.reals(name);
    if (v.size() != static_cast<size_t>(nmo))
        input_error(f.path, f.line(name), format_string("\"%s\": %d values expected, %zu found", name.c_str(), nmo, v.size()));
    return Eigen::Map<const Eigen::VectorXd>(v.data(), nmo);
}

}  // namespace

const EngineFiles& engine_files(QcEngine engine) {
    for (const EngineFiles& e : kEngineFiles)
        if (e.engine == engine) return e;
    return kEngineFiles[0];
}

bool engine_from_flag(const std::string& flag, QcEngine& engine) {
    for (const EngineFiles& e : kEngineFiles)
        if (*e.flag != '\0' && flag == e.flag) {
            engine = e.engine;
            return true;
        }
    return false;
}

Wavefunction read_wavefunction(QcEngine engine, const std::string& stem) {
    switch (engine) {
        case QcEngine::Gaussian: return read_gaussian(stem);
        case QcEngine::Orca: return read_orca(stem);
        case QcEngine::Qchem:
        case QcEngine::Psi4: return read_fchk_run(engine, stem);
    }
    return read_gaussian(stem);
}

Wavefunction wavefunction_from_fchk(const FchkFile& f) {
    Wavefunction w;
    w.path = f.path;
    const long natoms = f.integer("Number of atoms");
    const long nbasis = f.integer("Number of basis functions");
    if (natoms < 1 || nbasis < 1)
        input_error(f.path, f.line("Number of atoms"), "the numbers of atoms and basis functions must be positive");
    w.nbasis = static_cast<int>(nbasis);
    const std::vector<long>& z = f.ints("Atomic numbers");
    const std::vector<double>& xyz = f.reals("Current cartesian coordinates");
    if (z.size() != static_cast<size_t>(natoms) || xyz.size() != 3 * z.size())
        input_error(f.path, f.line("Atomic numbers"),
                    format_string("%ld atoms announced, but %zu atomic numbers and %zu coordinates", natoms, z.size(),
                                  xyz.size()));
    w.atomic_numbers.assign(z.begin(), z.end());
    w.coords_bohr = xyz;
    // Fewer orbitals than functions when the engine dropped near-linear dependencies.
    const long nmo = f.has("Number of independent functions") ? f.integer("Number of independent functions") : nbasis;
    if (nmo < 1 || nmo > nbasis)
        input_error(f.path, f.line("Number of independent functions"),
                    format_string("%ld independent functions for %ld basis functions", nmo, nbasis));
    w.alpha = mo_matrix(f, "Alpha MO coefficients", w.nbasis, static_cast<int>(nmo));
    w.alpha_energies = energy_vector(f, "Alpha Orbital Energies", static_cast<int>(nmo));
    if (f.has("Beta MO coefficients")) {
        w.beta = mo_matrix(f, "Beta MO coefficients", w.nbasis, static_cast<int>(nmo));
        w.beta_energies = energy_vector(f, "Beta Orbital Energies", static_cast<int>(nmo));
    }
    if (f.has("Overlap Matrix")) {
        const std::vector<double>& s = f.reals("Overlap Matrix");
        if (s.size() != static_cast<size_t>(nbasis * (nbasis + 1) / 2))
            input_error(f.path, f.line("Overlap Matrix"),
                        format_string("\"Overlap Matrix\": %ld values (lower triangle) expected, %zu found",
                                      nbasis * (nbasis + 1) / 2, s.size()));
        w.overlap.resize(w.nbasis, w.nbasis);
        size_t k = 0;
        for (int i = 0; i < w.nbasis; ++i)
            for (int j = 0; j <= i; ++j) w.overlap(i, j) = w.overlap(j, i) = s[k++];
    }
    return w;
}

}  // namespace qcpost
}  // namespace krymo

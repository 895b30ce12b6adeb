#include "qcpost/frequency_jobs.h"

#include <cmath>

#include "qcpost/fchk.h"
#include "structure/elements.h"
#include "util/files.h"
#include "util/text.h"

namespace krymo {
namespace qcpost {

namespace {

struct Lines {
    std::vector<std::string> text;
    explicit Lines(const std::string& s) {
        size_t start = 0;
        while (start < s.size()) {
            const size_t end = s.find('\n', start);
            text.push_back(s.substr(start, end == std::string::npos ? std::string::npos : end - start));
            if (end == std::string::npos) break;
            start = end + 1;
        }
    }
};

std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> w;
    split_to_words(line, " \t\r", w);
    return w;
}

// Index of the line that is exactly `mark` (blanks around allowed), or the size when absent.
size_t find_section(const Lines& l, const char* mark) {
    for (size_t k = 0; k < l.text.size(); ++k) {
        std::string s = l.text[k];
        trim(s);
        if (s == mark) return k;
    }
    return l.text.size();
}

// Masses of the most abundant isotopes: what the engines use for frequencies.
struct IsotopeRow {
    int z;
    double mass;
};
const IsotopeRow kIsotopes[] = {
    {1, 1.00782503223},  {2, 4.00260325413},  {3, 7.0160034366},   {4, 9.012183065},    {5, 11.00930536},
    {6, 12.0},           {7, 14.00307400443}, {8, 15.99491461957}, {9, 18.99840316273}, {10, 19.9924401762},
    {11, 22.989769282},  {12, 23.985041697},  {13, 26.98153853},   {14, 27.97692653465}, {15, 30.97376199842},
    {16, 31.9720711744}, {17, 34.968852682},  {18, 39.9623831237}, {19, 38.9637064864}, {20, 39.962590863},
    {21, 44.95590828},   {22, 47.94794198},   {23, 50.94395704},   {24, 51.94050623},   {25, 54.93804391},
    {26, 55.93493633},   {27, 58.93319429},   {28, 57.93534241},   {29, 62.92959772},   {30, 63.92914201},
    {31, 68.9255735},    {32, 73.921177761},  {33, 74.92159457},   {34, 79.9165218},    {35, 78.9183376},
    {36, 83.9114977282}, {50, 119.90220163},  {52, 129.906222748}, {53, 126.9044719},
};

std::string stem_of(const std::string& path) {
    const size_t dot = path.find_last_of('.'), slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path;
    return path.substr(0, dot);
}

std::string extension_of(const std::string& path) {
    const std::string stem = stem_of(path);
    return stem.size() < path.size() ? path.substr(stem.size() + 1) : std::string();
}

}  // namespace

double isotope_mass(int z) {
    for (const IsotopeRow& r : kIsotopes)
        if (r.z == z) return r.mass;
    return 0.0;
}

FrequencyJob parse_orca_hess(const std::string& path, const std::string& text) {
    const Lines l(text);
    FrequencyJob job;
    job.path = path;
    const size_t h = find_section(l, "$hessian");
    if (h == l.text.size()) input_error(path, 0, "no $hessian section: an ORCA .hess file of a frequency job is expected");
    int dim = 0;
    if (h + 1 >= l.text.size() || !parse_whole_int(l.text[h + 1], dim) || dim < 3 || dim % 3 != 0)
        input_error(path, static_cast<int>(h + 2), "expected the dimension of the Hessian (3 x atoms) after $hessian");
    job.hessian = Eigen::MatrixXd::Zero(dim, dim);
    size_t k = h + 2;
    for (int col0 = 0; col0 < dim;) {
        if (k >= l.text.size()) input_error(path, static_cast<int>(k), "the $hessian section ends early");
        // Column header: the indices of this block (five or six, fewer in the last block).
        const std::vector<std::string> head = words(l.text[k]);
        int first = -1;
        if (head.empty() || !parse_whole_int(head[0], first) || first != col0 || col0 + head.size() > size_t(dim))
            input_error(path, static_cast<int>(k + 1),
                        format_string("expected the column header of the $hessian block starting at column %d", col0));
        const int ncol = static_cast<int>(head.size());
        ++k;
        for (int r = 0; r < dim; ++r, ++k) {
            if (k >= l.text.size()) input_error(path, static_cast<int>(k), "the $hessian section ends early");
            const std::vector<std::string> w = words(l.text[k]);
            int row = -1;
            if (w.size() != size_t(ncol + 1) || !parse_whole_int(w[0], row) || row != r)
                input_error(path, static_cast<int>(k + 1),
                            format_string("expected row %d of the $hessian block: its index and %d numbers", r, ncol));
            for (int c = 0; c < ncol; ++c) {
                double v = 0;
                if (!parse_whole_real(w[c + 1], v))
                    input_error(path, static_cast<int>(k + 1),
                                format_string("'%s' is not a number", printable_excerpt(w[c + 1]).c_str()));
                job.hessian(r, col0 + c) = v;
            }
        }
        col0 += ncol;
    }
    const size_t a = find_section(l, "$atoms");
    if (a == l.text.size()) input_error(path, 0, "no $atoms section (element, mass and coordinates in bohr)");
    int natoms = 0;
    if (a + 1 >= l.text.size() || !parse_whole_int(l.text[a + 1], natoms) || natoms * 3 != dim)
        input_error(path, static_cast<int>(a + 2),
                    format_string("expected the number of atoms after $atoms: %d for a Hessian of dimension %d",
                                  dim / 3, dim));
    job.x.resize(dim);
    for (int i = 0; i < natoms; ++i) {
        const size_t at = a + 2 + i;
        const std::vector<std::string> w = at < l.text.size() ? words(l.text[at]) : std::vector<std::string>();
        double v[4] = {0, 0, 0, 0};
        bool ok = w.size() == 5;
        for (int c = 0; ok && c < 4; ++c) ok = parse_whole_real(w[c + 1], v[c]);
        if (!ok || !(v[0] > 0))
            input_error(path, static_cast<int>(at + 1),
                        format_string("expected atom %d of $atoms: element, mass (> 0), x y z (bohr)", i + 1));
        job.z.push_back(std::max(0, find_element_index_from_name(w[0])));
        job.mass.push_back(v[0]);
        for (int c = 0; c < 3; ++c) job.x(3 * i + c) = v[c + 1];
    }
    return job;
}

FrequencyJob read_orca_hess(const std::string& path) { return parse_orca_hess(path, read_text_file(path)); }

FrequencyJob read_fchk_hessian(const std::string& path) {
    const FchkFile f = read_fchk(path);
    FrequencyJob job;
    job.path = path;
    if (!f.has("Cartesian Force Constants"))
        input_error(path, 0,
                    "no \"Cartesian Force Constants\" (the Hessian): the file is not from a finished frequency job");
    const std::vector<double>& xyz = f.reals("Current cartesian coordinates");
    const std::vector<long>& z = f.ints("Atomic numbers");
    const size_t n = z.size();
    if (xyz.size() != 3 * n)
        input_error(path, f.line("Current cartesian coordinates"),
                    format_string("%zu coordinates for %zu atoms", xyz.size(), n));
    const std::vector<double>& tri = f.reals("Cartesian Force Constants");
    const size_t dim = 3 * n;
    if (tri.size() != dim * (dim + 1) / 2)
        input_error(path, f.line("Cartesian Force Constants"),
                    format_string("%zu force constants; the lower triangle of %zu atoms has %zu", tri.size(), n,
                                  dim * (dim + 1) / 2));
    job.x = Eigen::Map<const Eigen::VectorXd>(xyz.data(), static_cast<Eigen::Index>(dim));
    job.hessian.resize(dim, dim);
    size_t k = 0;
    for (size_t r = 0; r < dim; ++r)
        for (size_t c = 0; c <= r; ++c, ++k) job.hessian(r, c) = job.hessian(c, r) = tri[k];
    for (long zi : z) job.z.push_back(static_cast<int>(zi));
    if (f.has("Real atomic weights")) {
        job.mass = f.reals("Real atomic weights");
        if (job.mass.size() != n)
            input_error(path, f.line("Real atomic weights"), format_string("%zu weights for %zu atoms", job.mass.size(), n));
    } else {
        for (size_t i = 0; i < n; ++i) {
            job.mass.push_back(isotope_mass(job.z[i]));
            if (!(job.mass.back() > 0))
                input_error(path, f.line("Atomic numbers"),
                            format_string("no \"Real atomic weights\", and atom %zu (Z = %d) has no isotope mass in "
                                          "this tool's table",
                                          i + 1, job.z[i]));
        }
    }
    for (size_t i = 0; i < n; ++i)
        if (!(job.mass[i] > 0)) input_error(path, f.line("Real atomic weights"), format_string("atom %zu has no mass", i + 1));
    return job;
}

bool engine_of_text(const std::string& text, QcEngine& engine) {
    // Banners near the top of each engine's output.
    const struct {
        QcEngine engine;
        const char* mark;
    } kBanners[] = {
        {QcEngine::Gaussian, "Entering Gaussian System"},
        {QcEngine::Orca, "* O   R   C   A *"},
        {QcEngine::Qchem, "Welcome to Q-Chem"},
        {QcEngine::Psi4, "Psi4: An Open-Source Ab Initio Electronic Structure Package"},
    };
    size_t best = std::string::npos;
    for (const auto& b : kBanners) {
        const size_t at = text.find(b.mark);
        if (at < best) {
            best = at;
            engine = b.engine;
        }
    }
    return best != std::string::npos;
}

FrequencyJob load_frequency_job(const std::string& path) {
    const std::string ext = extension_of(path);
    if (ext == "hess") return read_orca_hess(path);
    if (ext == "fchk") return read_fchk_hessian(path);
    if (ext != "log" && ext != "out")
        input_error(path, 0, "a frequency output is expected: name.log or name.out (Gaussian, Q-Chem, psi4: with "
                             "name.fchk beside it) or name.hess (ORCA)");
    const std::string text = read_text_file(path);
    QcEngine engine = QcEngine::Gaussian;
    if (!engine_of_text(text, engine))
        input_error(path, 0, "no engine banner found: a Gaussian, ORCA, Q-Chem or psi4 output is expected");
    if (!ended_normally(engine, text))
        input_error(path, 0,
                    format_string("the %s frequency job did not end normally (no \"%s\" at its end): it failed or "
                                  "did not converge",
                                  engine_name(engine), normal_end_text(engine)));
    const std::string other = stem_of(path) + (engine == QcEngine::Orca ? ".hess" : ".fchk");
    if (!file_exists(other))
        input_error(other, 0,
                    format_string("missing: the Hessian of %s is read from it%s", path.c_str(),
                                  engine == QcEngine::Gaussian ? " (formchk writes it from the checkpoint)" : ""));
    return engine == QcEngine::Orca ? read_orca_hess(other) : read_fchk_hessian(other);
}

}  // namespace qcpost
}  // namespace krymo

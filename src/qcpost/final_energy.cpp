#include "qcpost/final_energy.h"

#include "qcpost/frequency_jobs.h"
#include "util/text.h"

namespace krymo {
namespace qcpost {

namespace {

struct EnergyRow {
    QcEngine engine;
    const char* mark;  // text on the energy line
    char separator;    // the value is the first word after it; 0: the last word of the line
};
const EnergyRow kEnergyLines[] = {
    {QcEngine::Gaussian, "SCF Done:", '='},
    {QcEngine::Orca, "FINAL SINGLE POINT ENERGY", 0},
    {QcEngine::Qchem, "Total energy in the final basis set", '='},
    {QcEngine::Psi4, "Final Energy:", 0},
};

}  // namespace

double final_energy(const std::string& path, const std::string& text) {
    QcEngine engine = QcEngine::Gaussian;
    if (!engine_of_text(text, engine))
        input_error(path, 0, "no engine banner found: a Gaussian, ORCA, Q-Chem or psi4 output is expected");
    if (!ended_normally(engine, text))
        input_error(path, 0,
                    format_string("the %s job did not end normally (no \"%s\" at its end)", engine_name(engine),
                                  normal_end_text(engine)));
    const EnergyRow* row = nullptr;
    for (const EnergyRow& r : kEnergyLines)
        if (r.engine == engine) row = &r;
    const size_t at = text.rfind(row->mark);
    if (at == std::string::npos)
        input_error(path, 0, format_string("no \"%s\" line: the %s output holds no final energy", row->mark,
                                           engine_name(engine)));
    const size_t bol = text.rfind('\n', at), eol = text.find('\n', at);
    const std::string line = text.substr(bol == std::string::npos ? 0 : bol + 1,
                                         eol == std::string::npos ? std::string::npos : eol - (bol + 1));
    std::string rest = line.substr(line.find(row->mark) + std::string(row->mark).size());
    std::vector<std::string> w;
    if (row->separator != 0) {
        const size_t sep = rest.find(row->separator);
        rest = sep == std::string::npos ? std::string() : rest.substr(sep + 1);
        split_to_words(rest, " \t\r", w);
    } else {
        split_to_words(rest, " \t\r", w);
        if (!w.empty()) w.erase(w.begin(), w.end() - 1);
    }
    double e = 0;
    if (w.empty() || !parse_whole_real(w[0], e))
        input_error(path, line_of(text, at),
                    format_string("expected an energy on the \"%s\" line, found '%s'", row->mark,
                                  printable_excerpt(line).c_str()));
    return e;
}

double read_final_energy(const std::string& path) { return final_energy(path, read_text_file(path)); }

}  // namespace qcpost
}  // namespace krymo

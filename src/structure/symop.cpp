#include "structure/symop.h"

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "structure/cell.h"
#include "structure/fileio.h"
#include "util/text.h"

namespace krymo {

namespace {

// Reads the number starting at s[i] (digits with an optional decimal point, classic notation)
// and advances i past it.
double read_number(const std::string& s, size_t& i) {
    const size_t start = i;
    while (i < s.size() && (std::isdigit(static_cast<unsigned char>(s[i])) || s[i] == '.')) ++i;
    return std::strtod(s.substr(start, i - start).c_str(), nullptr);
}

void parse_part(const std::string& part, double row[3], double& t) {
    double sign = 1.0, numerator = 0.0;
    bool fraction = false;
    size_t i = 0;
    while (i < part.size()) {
        const char c = part[i];
        if (c == '+') {
            sign = 1.0;
        } else if (c == '-') {
            sign = -1.0;
        } else if (c == 'x' || c == 'X') {
            row[0] = sign;
        } else if (c == 'y' || c == 'Y') {
            row[1] = sign;
        } else if (c == 'z' || c == 'Z') {
            row[2] = sign;
        } else if (c == '.' || c == '0') {
            t = sign * read_number(part, i);
            continue;
        } else if (c >= '1' && c <= '9') {
            const double v = read_number(part, i);
            if (fraction) {
                t = sign * numerator / v;
                fraction = false;
            } else {
                t = v;
                numerator = v;
            }
            continue;
        } else if (c == '/') {
            fraction = true;
        }
        ++i;
    }
}

}  // namespace

void parse_transform_string(const std::string& text, double R[3][3], double t[3]) {
    if (text.find(',') != std::string::npos) {
        const std::string compact = RemoveWhiteSpaceUnderscore(text);
        std::vector<std::string> parts;
        size_t from = 0;
        while (true) {
            const size_t comma = compact.find(',', from);
            parts.push_back(compact.substr(from, comma == std::string::npos ? std::string::npos : comma - from));
            if (comma == std::string::npos) break;
            from = comma + 1;
        }
        for (size_t k = 0; k < parts.size() && k < 3; ++k) parse_part(parts[k], R[k], t[k]);
    } else if (text.find(' ') != std::string::npos) {
        std::istringstream in(text);
        in.imbue(std::locale::classic());
        for (int k = 0; k < 3; ++k) in >> R[k][0] >> R[k][1] >> R[k][2] >> t[k];
    }
    for (int k = 0; k < 3; ++k) t[k] = wrap_position_once(t[k]);
}

std::string format_transform_string(const int R[3][3], const double t[3]) {
    std::string out;
    for (int k = 0; k < 3; ++k) {
        std::string part;
        for (int c = 0; c < 3; ++c) {
            if (R[k][c] == 0) continue;
            if (R[k][c] < 0)
                part += "-";
            else if (!part.empty())
                part += "+";
            if (std::abs(R[k][c]) != 1) part += format_string("%d*", std::abs(R[k][c]));
            part += static_cast<char>('x' + c);
        }
        double v = t[k] - std::floor(t[k]);
        if (v > 1e-8 && v < 1.0 - 1e-8) {
            int den = 0;
            for (int d : {2, 3, 4, 6, 8, 12, 24})
                if (std::fabs(v * d - std::round(v * d)) < 1e-6) {
                    den = d;
                    break;
                }
            part += den > 0 ? format_string("+%d/%d", static_cast<int>(std::lround(v * den)), den)
                            : format_string("+%.10g", v);
        }
        if (k > 0) out += ",";
        out += part;
    }
    return out;
}

void FileIO::ParseTransformString(const std::string& text, double R[3][3], double t[3]) const {
    parse_transform_string(text, R, t);
}

}  // namespace krymo

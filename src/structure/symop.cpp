#include "structure/symop.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include "structure/cell.h"
#include "structure/fileio.h"
#include "util/text.h"

namespace krymo {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Unsigned number at s[i]: digits with at most one decimal point ("3", "0.25", ".5"), optionally
// over an integer denominator ("1/2"). Advances i past it; false when there is none.
bool read_number(const std::string& s, size_t& i, double& v) {
    const size_t start = i;
    bool digit = false, point = false;
    for (; i < s.size(); ++i) {
        if (is_digit(s[i]))
            digit = true;
        else if (s[i] == '.' && !point)
            point = true;
        else
            break;
    }
    if (!digit) return false;
    v = std::strtod(s.substr(start, i - start).c_str(), nullptr);
    if (i < s.size() && s[i] == '/') {
        const size_t d = ++i;
        while (i < s.size() && is_digit(s[i])) ++i;
        const double den = i > d ? std::strtod(s.substr(d, i - d).c_str(), nullptr) : 0.0;
        if (!(den > 0.0)) return false;
        v /= den;
    }
    return true;
}

int axis_of(char c) {
    if (c == 'x' || c == 'X') return 0;
    if (c == 'y' || c == 'Y') return 1;
    if (c == 'z' || c == 'Z') return 2;
    return -1;
}

// One component ("-x+1/2", "x-y", "1/4-x", "+2*y"): signed terms, each x, y or z with an optional
// coefficient, or a number. Variables add to `row`, numbers to `t`.
bool parse_part(const std::string& part, double row[3], double& t) {
    size_t i = 0;
    while (i < part.size()) {
        double sign = 1.0;
        if (part[i] == '+' || part[i] == '-')
            sign = part[i++] == '-' ? -1.0 : 1.0;
        else if (i > 0)
            return false;  // terms are joined by a sign
        double v = 1.0;
        const bool number = read_number(part, i, v);
        if (number && i < part.size() && part[i] == '*') ++i;
        const int axis = i < part.size() ? axis_of(part[i]) : -1;
        if (axis >= 0) {
            row[axis] += sign * v;
            ++i;
        } else if (number && (i == part.size() || part[i] == '+' || part[i] == '-')) {
            t += sign * v;
        } else {
            return false;
        }
    }
    return !part.empty();
}

double determinant(const double R[3][3]) {
    return R[0][0] * (R[1][1] * R[2][2] - R[1][2] * R[2][1]) - R[0][1] * (R[1][0] * R[2][2] - R[1][2] * R[2][0]) +
           R[0][2] * (R[1][0] * R[2][1] - R[1][1] * R[2][0]);
}

bool refuse(std::string* why, const std::string& what, double R[3][3], double t[3]) {
    if (why != nullptr) *why = what;
    for (int k = 0; k < 3; ++k) {
        t[k] = 0.0;
        for (int c = 0; c < 3; ++c) R[k][c] = 0.0;
    }
    return false;
}

}  // namespace

bool parse_transform_string(const std::string& text, double R[3][3], double t[3], std::string* why) {
    if (text.find(',') != std::string::npos) {
        std::string compact;
        for (char c : text)
            if (c != ' ' && c != '\t' && c != '_') compact += c;
        std::vector<std::string> parts;
        for (size_t from = 0;;) {
            const size_t comma = compact.find(',', from);
            parts.push_back(compact.substr(from, comma == std::string::npos ? std::string::npos : comma - from));
            if (comma == std::string::npos) break;
            from = comma + 1;
        }
        if (parts.size() != 3)
            return refuse(why,
                          format_string("it has %d comma-separated components, 3 are expected",
                                        static_cast<int>(parts.size())),
                          R, t);
        for (int k = 0; k < 3; ++k)
            if (!parse_part(parts[k], R[k], t[k]))
                return refuse(why,
                              format_string("component %d (\"%s\") is not a sum of x, y, z and numbers such as -x+1/2",
                                            k + 1, parts[k].c_str()),
                              R, t);
    } else {
        std::vector<std::string> words;
        split_to_words(text, " \t", words);
        double v[12];
        bool numbers = words.size() == 12;
        for (size_t k = 0; numbers && k < 12; ++k) numbers = parse_whole_real(words[k], v[k]);
        if (!numbers)
            return refuse(why, "three comma-separated components of x, y and z (such as -x+1/2,y,-z) are expected",
                          R, t);
        for (int k = 0; k < 3; ++k) {
            for (int c = 0; c < 3; ++c) R[k][c] = v[4 * k + c];
            t[k] = v[4 * k + 3];
        }
    }
    for (int k = 0; k < 9; ++k)
        if (R[k / 3][k % 3] != std::round(R[k / 3][k % 3]))
            return refuse(why, format_string("its rotation entry %g is not an integer", R[k / 3][k % 3]), R, t);
    const double det = determinant(R);
    if (det != 1.0 && det != -1.0)
        return refuse(why, format_string("its rotation has determinant %g, +1 or -1 is expected", det), R, t);
    for (int k = 0; k < 3; ++k)
        if (!std::isfinite(t[k])) return refuse(why, "its translation is not a finite number", R, t);
    for (int k = 0; k < 3; ++k) t[k] = wrap_position_once(t[k]);
    return true;
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
    parse_transform_string(text, R, t, nullptr);
}

}  // namespace krymo

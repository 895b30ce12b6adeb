// MDL MOL reader (V2000 and V3000): atom count, elements and Cartesian coordinates of one
// molecule. Bonds and atom properties are read past; this system finds bonds from distances.
#include <cstdio>
#include <cstdlib>
#include <map>

#include "structure/fileio.h"
#include "util/fatal.h"
#include "util/files.h"
#include "util/text.h"

namespace krymo {

namespace {

const char* const kUnit = "fileio";

// Integer of columns [from, from + len) of a fixed-column line (0 when absent or blank).
int column_int(const std::string& s, size_t from, size_t len) {
    if (from >= s.size()) return 0;
    return std::atoi(s.substr(from, len).c_str());
}

class MolFile {
public:
    MolFile(const std::string& path, std::vector<std::string> lines) : path_(path), lines_(std::move(lines)) {}

    void read(int& natoms, std::vector<int>& atypes, std::vector<double>& x) {
        if (lines_.size() < 4) fail_a();
        const std::string& counts = lines_[3];
        if (counts.size() < 6) fail_a();
        natoms = column_int(counts, 0, 3);
        if (natoms < 0) fail(1, format_string("Negative atom count (%d) in the counts line", natoms), 3);
        if (counts.size() >= 15) {
            const int chiral = column_int(counts, 12, 3);
            if (chiral != 0 && chiral != 1)
                std::printf("WARNING: The Chiral Flag should be either 0 or 1. The value of %d will be ignored.\n",
                            chiral);
        }
        if (column_int(counts, 6, 3) > 0)
            KRYMO_FATAL_OUT(kUnit, 1,
                            "WARNING: Problems reading the Count line of an MDL file\n"
                            "         There may be erroneous addition spaces or\n"
                            "         the file may contains Atom Lists, which are ignored\n");
        line_ = 4;
        if (counts.find("V3000") != std::string::npos)
            read_v3000(natoms, atypes, x);
        else
            read_v2000(natoms, atypes, x);
    }

private:
    [[noreturn]] void fail_a() const {
        KRYMO_FATAL_OUT(kUnit, 1,
                        "WARNING: Problems reading a MDL file\n"
                        "         Cannot read atom and bond count\n"
                        "         Expected standard 6 character atom and bond count\n");
    }
    [[noreturn]] void fail(int status, const std::string& what, size_t line) const {
        KRYMO_FATAL_OUT(kUnit, status,
                        format_string("%s\n         (file \"%s\", line %d)\n", what.c_str(), path_.c_str(),
                                      static_cast<int>(line) + 1));
    }
    int element(const std::string& symbol, size_t line) const {
        const int e = find_element_index_from_name(symbol);
        if (e < 1)
            fail(1, format_string("Unknown element symbol \"%s\" in MOL file \"%s\"", symbol.c_str(), path_.c_str()),
                 line);
        return e;
    }

    void read_v2000(int natoms, std::vector<int>& atypes, std::vector<double>& x) {
        atypes.assign(natoms, 0);
        x.assign(3 * static_cast<size_t>(natoms), 0.0);
        for (int i = 0; i < natoms; ++i, ++line_) {
            if (line_ >= lines_.size())
                KRYMO_FATAL_OUT(kUnit, 1,
                                format_string("WARNING: Problems reading a MDL file\n"
                                              "         Not enough atoms to match atom count (%d) in counts line\n",
                                              natoms));
            const std::string& s = lines_[line_];
            // x, y, z in columns 0-9, 10-19, 20-29 and the symbol from column 31.
            if (s.size() < 32)
                fail(1,
                     format_string("Atom line %d of a MDL file is too short (%d characters): coordinates in columns "
                                   "1-30 and the element symbol from column 32 are expected",
                                   i + 1, static_cast<int>(s.size())),
                     line_);
            for (int k = 0; k < 3; ++k) x[3 * i + k] = std::strtod(s.substr(10 * k, 10).c_str(), nullptr);
            std::string symbol = s.substr(31, 3);
            trim(symbol);
            atypes[i] = element(symbol, line_);
        }
    }

    // One logical V3000 line ("M  V30 ...") split into tokens; false at the end of the file or on
    // a line of another form. A line ending in '-' continues with the text of the next line after
    // its "M  V30 " prefix (writers may break anywhere, even inside a value).
    bool v3000_line(std::vector<std::string>& tok) {
        tok.clear();
        if (line_ >= lines_.size()) return false;
        logical_line_ = line_;
        std::string text = lines_[line_++];
        while (!text.empty() && text.back() == '-' && line_ < lines_.size()) {
            text.pop_back();
            const std::string& next = lines_[line_++];
            text += next.compare(0, 7, "M  V30 ") == 0 ? next.substr(7) : next;
        }
        split_to_words(text, " \t\r\n", tok);
        return tok.size() >= 2 && tok[0] == "M" && (tok[1] == "V30" || tok[1] == "END");
    }

    static bool properties_ok(const std::vector<std::string>& tok, size_t from) {
        for (size_t k = from; k < tok.size(); ++k)
            if (tok[k].find('=') == std::string::npos) return false;
        return true;
    }

    // Reads the whole V3000 connection table. Only the atoms matter: anything malformed before
    // the atom block is complete is an error; after it, reading stops quietly.
    void read_v3000(int& natoms, std::vector<int>& atypes, std::vector<double>& x) {
        natoms = -1;
        bool atoms_read = false;
        std::vector<std::string> tok;
        while (v3000_line(tok)) {
            if (tok[1] == "END") break;
            if (tok.size() < 4) {
                if (tok.size() >= 3 && tok[2] == "LINKNODE") continue;
                break;
            }
            if (tok[2] == "LINKNODE") continue;
            if (tok[2] == "END") continue;  // END CTAB
            if (tok[2] != "BEGIN") break;
            const std::string& block = tok[3];
            if (block == "CTAB") {
                if (!v3000_line(tok) || tok.size() < 4 || tok[2] != "COUNTS")
                    fail(1, "A V3000 CTAB block must start with a COUNTS line", logical_line_);
                natoms = std::atoi(tok[3].c_str());
                if (natoms < 0) fail(1, "Negative atom count in the V3000 COUNTS line", logical_line_);
                // Every atom takes a line: a larger count is no reason to allocate.
                if (static_cast<size_t>(natoms) > lines_.size() - line_)
                    fail(1, format_string("The V3000 COUNTS line gives %d atoms, more than the lines that follow",
                                          natoms),
                         logical_line_);
                atypes.assign(natoms, 0);
                x.assign(3 * static_cast<size_t>(natoms), 0.0);
            } else if (block == "ATOM") {
                if (natoms < 0) fail(1, "V3000 atom block before the COUNTS line", logical_line_);
                read_atom_block(natoms, atypes, x);
                atoms_read = true;
            } else if (block == "BOND") {
                if (!skip_block("BOND", true)) break;
            } else {
                if (!skip_block(block, false)) break;
            }
        }
        if (!atoms_read && natoms != 0)
            fail(1, "No complete V3000 atom block (BEGIN ATOM ... END ATOM) was found", line_ > 0 ? line_ - 1 : 0);
    }

    void read_atom_block(int natoms, std::vector<int>& atypes, std::vector<double>& x) {
        std::map<int, int> atom_map;  // atom number in the file -> 1-based position
        int pos = 0;
        std::vector<std::string> tok;
        while (true) {
            if (!v3000_line(tok) || tok.size() < 3)
                fail(1, "The V3000 atom block ends before its END ATOM line", logical_line_);
            if (tok[2] == "END") break;
            if (tok.size() < 7 || !properties_ok(tok, 8))
                fail(1, "Malformed V3000 atom line (expected: M  V30 index type x y z aamap [key=value ...])",
                     logical_line_);
            ++pos;
            if (pos > natoms)
                fail(1, format_string("The V3000 atom block holds more atoms than its COUNTS line (%d)", natoms),
                     logical_line_);
            atom_map[std::atoi(tok[2].c_str())] = pos;
            std::string type = tok[3].substr(0, 5);
            if (type == "R#")
                fail(1, "WARNING: A molecule contains an R group which is not implemented!", logical_line_);
            trim(type);
            atypes[pos - 1] = element(type, logical_line_);
            for (int k = 0; k < 3; ++k) x[3 * (pos - 1) + k] = std::strtod(tok[4 + k].c_str(), nullptr);
        }
        if (pos < natoms)
            fail(1, format_string("The V3000 atom block holds %d atoms, its COUNTS line %d", pos, natoms),
                 logical_line_);
    }

    // Skips to the END line of a block (END RGROUP for an R-group block, which nests others).
    bool skip_block(const std::string& name, bool check_properties) {
        std::vector<std::string> tok;
        while (v3000_line(tok)) {
            if (tok.size() >= 3 && tok[2] == "END") {
                if (name != "RGROUP" || (tok.size() >= 4 && tok[3] == "RGROUP")) return true;
                continue;
            }
            if (check_properties && !properties_ok(tok, 6)) return false;
        }
        return false;
    }

    std::string path_;
    std::vector<std::string> lines_;
    size_t line_ = 0;
    size_t logical_line_ = 0;
};

}  // namespace

void FileIO::read_data_mol(const std::string& path, int index, bool info) {
    std::vector<std::string> lines;
    if (!read_lines(path, lines, false))
        KRYMO_FATAL_ERR(kUnit, 255, format_string("Failed to open input file \"%s\"\n", path.c_str()));
    if (info) std::printf("Reading molecular file \"%s\"... \n", path.c_str());
    if (index < 0) return;
    if (static_cast<int>(mol_natoms.size()) <= index) {
        mol_natoms.resize(index + 1, 0);
        mol_atypes.resize(index + 1);
        mol_x.resize(index + 1);
        mol_x_s.resize(index + 1);
    }
    MolFile(path, std::move(lines)).read(mol_natoms[index], mol_atypes[index], mol_x[index]);
    mol_x_s[index].assign(mol_x[index].size(), 0.0);
}

}  // namespace krymo

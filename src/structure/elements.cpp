#include "structure/elements.h"

#include <cctype>
#include <cstdlib>
#include <map>

namespace krymo {

// Row = atomic number; row 0 is the dummy element.
const ElementRow Elements_m[kNumElements] = {
    {"  ", 0, 180, "DUMMY"},
    {"H ", 1.00794, 80, "HYDROGEN"},
    {"He", 4.0026, 400, "HELIUM"},
    {"Li", 6.941, 170, "LITHIUM"},
    {"Be", 9.01218, 88, "BERYLLIUM"},
    {"B ", 10.811, 208, "BORON"},
    {"C ", 12.011, 180, "CARBON"},
    {"N ", 14.0067, 170, "NITROGEN"},
    {"O ", 15.9994, 170, "OXYGEN"},
    {"F ", 18.9984, 160, "FLUORINE"},
    {"Ne", 20.1797, 280, "NEON"},
    {"Na", 22.98977, 243, "SODIUM"},
    {"Mg", 24.305, 275, "MAGNESIUM"},
    {"Al", 26.98154, 338, "ALUMINIUM"},
    {"Si", 28.0855, 300, "SILICON"},
    {"P ", 30.97376, 259, "PHOSPHORUS"},
    {"S ", 32.066, 255, "SULFUR"},
    {"Cl", 35.4527, 250, "CHLORINE"},
    {"Ar", 39.948, 392, "ARGON"},
    {"K ", 39.0983, 332, "POTASSIUM"},
    {"Ca", 40.078, 248, "CALCIUM"},
    {"Sc", 44.9559, 360, "SCANDIUM"},
    {"Ti", 47.88, 368, "TITANIUM"},
    {"V ", 50.9415, 332, "VANADIUM"},
    {"Cr", 51.996, 338, "CHROMIUM"},
    {"Mn", 54.938, 338, "MANGANESE"},
    {"Fe", 55.847, 335, "IRON"},
    {"Co", 58.9332, 332, "COBALT"},
    {"Ni", 58.6934, 405, "NICKEL"},
    {"Cu", 63.546, 380, "COPPER"},
    {"Zn", 65.39, 362, "ZINC"},
    {"Ga", 69.723, 305, "GALLIUM"},
    {"Ge", 72.61, 292, "GERMANIUM"},
    {"As", 74.9216, 302, "ARSENIC"},
    {"Se", 78.96, 305, "SELENIUM"},
    {"Br", 79.904, 302, "BROMINE"},
    {"Kr", 83.8, 400, "KRYPTON"},
    {"Rb", 85.4678, 368, "RUBIDIUM"},
    {"Sr", 87.62, 280, "STRONTIUM"},
    {"Y ", 88.9059, 445, "YTTRIUM"},
    {"Zr", 91.224, 390, "ZIRCONIUM"},
    {"Nb", 92.9064, 370, "NIOBIUM"},
    {"Mo", 95.94, 368, "MOLYBDENUM"},
    {"Tc", 98, 338, "TECHNETIUM"},
    {"Ru", 101.07, 350, "RUTHENIUM"},
    {"Rh", 102.9055, 362, "RHODIUM"},
    {"Pd", 106.42, 375, "PALLADIUM"},
    {"Ag", 107.868, 398, "SILVER"},
    {"Cd", 112.41, 422, "CADMIUM"},
    {"In", 114.82, 408, "INDIUM"},
    {"Sn", 118.71, 365, "TIN"},
    {"Sb", 121.757, 365, "ANTIMONY"},
    {"Te", 127.6, 368, "TELLURIUM"},
    {"I ", 126.9045, 350, "IODINE"},
    {"Xe", 131.29, 425, "XENON"},
    {"Cs", 132.9054, 418, "CAESIUM"},
    {"Ba", 137.33, 335, "BARIUM"},
    {"La", 138.9055, 468, "LANTHANUM"},
    {"Ce", 140.12, 458, "CERIUM"},
    {"Pr", 140.9077, 455, "PRASEODYMIUM"},
    {"Nd", 144.24, 452, "NEODYMIUM"},
    {"Pm", 145, 450, "PROMETHIUM"},
    {"Sm", 150.36, 450, "SAMARIUM"},
    {"Eu", 151.965, 498, "EUROPIUM"},
    {"Gd", 157.25, 448, "GADOLINIUM"},
    {"Tb", 158.9253, 440, "TERBIUM"},
    {"Dy", 162.5, 438, "DYSPROSIUM"},
    {"Ho", 164.9303, 435, "HOLMIUM"},
    {"Er", 167.26, 432, "ERBIUM"},
    {"Tm", 168.9342, 430, "THULIUM"},
    {"Yb", 173.04, 485, "YTTERBIUM"},
    {"Lu", 174.967, 430, "LUTETIUM"},
    {"Hf", 178.49, 392, "HAFNIUM"},
    {"Ta", 180.9479, 358, "TANTALUM"},
    {"W ", 183.85, 342, "TUNGSTEN"},
    {"Re", 186.207, 338, "RHENIUM"},
    {"Os", 190.2, 342, "OSMIUM"},
    {"Ir", 192.22, 330, "IRIDIUM"},
    {"Pt", 195.08, 375, "PLATINUM"},
    {"Au", 196.9665, 375, "GOLD"},
    {"Hg", 200.59, 425, "MERCURY"},
    {"Tl", 204.282, 388, "THALLIUM"},
    {"Pb", 207.2, 385, "LEAD"},
    {"Bi", 208.9804, 385, "BISMUTH"},
    {"Po", 209, 420, "POLONIUM"},
    {"At", 210, 302, "ASTATINE"},
    {"Rn", 222, 475, "RADON"},
    {"Fr", 223, 450, "FRANCIUM"},
    {"Ra", 226.0254, 358, "RADIUM"},
    {"Ac", 227, 295, "ACTINIUM"},
    {"Th", 232.0381, 255, "THORIUM"},
    {"Pa", 231.0359, 222, "PROTACTINIUM"},
    {"U ", 238.029, 242, "URANIUM"},
    {"Np", 237.0482, 238, "NEPTUNIUM"},
    {"Pu", 244, 232, "PLUTONIUM"},
    {"Am", 243, 230, "AMERICIUM"},
    {"Cm", 247, 228, "CURIUM"},
    {"Bk", 247, 225, "BERKELIUM"},
    {"Cf", 251, 222, "CALIFORNIUM"},
    {"Es", 252, 220, "EINSTEINIUM"},
    {"Fm", 257, 218, "FERMIUM"},
    {"Md", 258, 215, "MENDELEVIUM"},
    {"No", 259, 212, "NOBELIUM"},
    {"Lr", 260, 210, "LAWRENCIUM"},
};

const double nw_elem_radius_m[106] = {
    99999.99, 0.35, 1.22, 1.23, 0.89, 0.88, 0.77, 0.72, 0.66, 0.58,
    1.6, 1.4, 1.36, 1.25, 1.17, 1.1, 1.04, 0.99, 1.91, 2.03,
    1.74, 1.44, 1.32, 1.22, 1.19, 1.17, 1.165, 1.16, 1.15, 1.17,
    1.25, 1.25, 1.22, 1.21, 1.17, 1.14, 1.98, 2.22, 1.92, 1.62,
    1.45, 1.34, 1.29, 1.27, 1.24, 1.25, 1.28, 1.34, 1.41, 1.5,
    1.4, 1.41, 1.37, 1.33, 2.09, 2.35, 1.98, 1.69, 1.65, 1.65,
    1.64, 1.65, 1.66, 1.65, 1.61, 1.59, 1.59, 1.58, 1.57, 1.56,
    1.56, 1.56, 1.44, 1.34, 1.3, 1.28, 1.26, 1.26, 1.29, 1.34,
    1.44, 1.55, 1.54, 1.52, 1.53, 1.5, 2.2, 3.24, 2.68, 2.25,
    2.16, 1.93, 1.66, 1.57, 1.81, 2.21, 1.43, 1.42, 1.4, 1.39,
    1.38, 1.37, 1.36, 1.34, 1.3, 1.3,
};

int find_element_index_from_name(const std::string& symbol) {
    if (symbol.empty()) return -1;
    const char c0 = static_cast<char>(std::toupper(static_cast<unsigned char>(symbol[0])));
    const char c1 = symbol.size() == 1 ? ' ' : static_cast<char>(std::tolower(static_cast<unsigned char>(symbol[1])));
    for (int i = 0; i < kNumElements; ++i)
        if (Elements_m[i].symbol[0] == c0 && Elements_m[i].symbol[1] == c1) return i;
    return -1;
}

void find_element_name_from_index(int index, char out[3]) {
    out[0] = out[1] = out[2] = '\0';
    if (index < 0 || index >= kNumElements) return;
    out[0] = Elements_m[index].symbol[0];
    if (Elements_m[index].symbol[1] != ' ') out[1] = Elements_m[index].symbol[1];
}

std::string element_symbol(int index) {
    char buf[3];
    find_element_name_from_index(index, buf);
    return buf;
}

double find_element_mass_from_index(int index) {
    return (index >= 0 && index < kNumElements) ? Elements_m[index].mass : 0.0;
}

double find_element_radius_from_index(int index) {
    return (index >= 0 && index < kNumElements) ? Elements_m[index].covalent / 250.0 : 0.0;
}

double find_element_radius_from_index_nw(int index) {
    return (index >= 0 && index < 106) ? nw_elem_radius_m[index] : 9999.99;
}

double find_element_radius_from_name_nw(const std::string& symbol) {
    const int i = find_element_index_from_name(symbol);
    return i < 0 ? 9999.99 : nw_elem_radius_m[i];
}

std::string hill_formula(const int* atypes, int natoms) {
    std::map<std::string, int> counts;
    for (int i = 0; i < natoms; ++i) {
        ++counts[valid_element_index(atypes[i]) ? element_symbol(atypes[i]) : std::string("?")];
    }
    std::string out;
    auto take = [&](const std::string& sym) {
        const auto it = counts.find(sym);
        if (it == counts.end()) return;
        out += it->second == 1 ? sym : sym + std::to_string(it->second);
        counts.erase(it);
    };
    // Without carbon, Hill order is purely alphabetical.
    if (counts.count("C")) {
        take("C");
        take("H");
    }
    while (!counts.empty()) take(counts.begin()->first);
    return out;
}

bool parse_formula(const std::string& text, std::vector<std::pair<int, double>>& counts) {
    counts.clear();
    size_t i = 0;
    const size_t n = text.size();
    auto skip = [&] {
        while (i < n && (text[i] == ' ' || text[i] == '\t' || text[i] == '\'' || text[i] == '"')) ++i;
    };
    for (skip(); i < n; skip()) {
        if (!std::isupper(static_cast<unsigned char>(text[i]))) break;
        std::string sym(1, text[i++]);
        if (i < n && std::islower(static_cast<unsigned char>(text[i]))) sym += text[i++];
        const int e = find_element_index_from_name(sym);
        if (!valid_element_index(e)) break;
        double count = 1.0;
        if (i < n && (std::isdigit(static_cast<unsigned char>(text[i])) || text[i] == '.')) {
            char* end = nullptr;
            count = std::strtod(text.c_str() + i, &end);
            i = static_cast<size_t>(end - text.c_str());
        }
        counts.emplace_back(e, count);
    }
    if (i < n || counts.empty()) {
        counts.clear();
        return false;
    }
    return true;
}

}  // namespace krymo

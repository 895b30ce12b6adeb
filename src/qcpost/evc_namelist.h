// The &evc namelist of one normal-mode job (evc.inp): which two frequency jobs to compare and how.
// Fortran style: names ignore case, `.t.`/`.f.` (or .true./.false., t/f) switches, quoted strings,
// `!` starts a comment, the block ends at a line starting with `/`. The value of
// `def_add_int_coord` is the run of lines after it that hold only integers (the bond list the
// preparation writes: "i j 0 0" per bond; three or four non-zero atoms give an angle or a dihedral).
#pragma once

#include <array>
#include <string>
#include <vector>

namespace krymo {
namespace qcpost {

struct EvcInput {
    std::string path;
    std::string ffreq[2];        // neutral, charged frequency output (as written; relative to the input's folder)
    int ffreq_line[2] = {0, 0};  // lines that named them, for messages about the files
    int sort_mode = 1;           // 1: modes by frequency; 2: by reorganization energy, largest first
    bool proj_reorg = true;      // project the displacement (otherwise frequencies only)
    bool eckart_mirror = false;  // the alignment may also mirror the geometry
    bool if_add_int_coord = false;
    std::vector<std::array<int, 4>> int_coords;  // 1-based atoms, 0 = unused
    std::vector<int> int_coord_lines;
};

EvcInput read_evc_input(const std::string& path);
// The same from text already read (`path` names it in messages).
EvcInput parse_evc_input(const std::string& path, const std::string& text);

}  // namespace qcpost
}  // namespace krymo

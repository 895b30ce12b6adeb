#include "structure/fileio.h"

namespace krymo {

// Defaults of `neighbor_scell` and `thinfilm`; the settings part supplies the values in force.
void FileIO::supercell_layout(int n[3], int& film_dir, int& film_ncell, bool& film_on) const {
    n[0] = n[1] = n[2] = 3;
    film_dir = 0;
    film_ncell = 0;
    film_on = false;
}

}  // namespace krymo

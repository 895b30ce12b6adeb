#include "structure/fileio.h"

namespace krymo {

// Placeholder: records the path until the CIF reader lands in this file.
void FileIO::read_data_cif(const std::string& path, bool) { crystal_file = path; }

}  // namespace krymo

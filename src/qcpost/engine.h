// What every engine reader shares: the engines, how each one says a run ended well, and the
// whole-file text read with its checks (size, binary content) and the error that names file and line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace krymo {
namespace qcpost {

enum class QcEngine { Gaussian, Orca, Qchem, Psi4 };

// "Gaussian", "ORCA", "Q-Chem", "psi4".
const char* engine_name(QcEngine engine);
// The line the engine prints last after a run that ended normally.
const char* normal_end_text(QcEngine engine);
// Does the engine's output text carry its normal-end line?
bool ended_normally(QcEngine engine, const std::string& text);

// Largest output read: far above a Pop=full log of a few thousand basis functions.
constexpr std::uintmax_t kMaxOutputBytes = std::uintmax_t(4) << 30;

// The whole file as text. Stops (status 1) naming the file when it is missing, not a regular file,
// larger than `max_bytes`, or binary (a NUL byte: the error names its line).
std::string read_text_file(const std::string& path, std::uintmax_t max_bytes = kMaxOutputBytes);

// 1-based line number of byte `offset` of `text`.
int line_of(const std::string& text, std::size_t offset);

// Stops the run (unit "qcpost", status 1) with "<path>, line <n>: <what>\n"; line 0 leaves it out.
[[noreturn]] void input_error(const std::string& path, int line, const std::string& what);

}  // namespace qcpost
}  // namespace krymo

#include "util/fatal.h"

#include <cstdio>

#include "util/text.h"

namespace krymo {

FatalError::FatalError(std::string unit_, int line_, int status_, std::string out, std::string err, bool with_header)
    : std::runtime_error(out + err),
      unit(std::move(unit_)),
      line(line_),
      status(status_),
      out_text(std::move(out)),
      err_text(std::move(err)),
      header(with_header) {}

std::string FatalError::header_text() const {
    return format_string("\nERROR  transport : %s : line %i : \n", unit.c_str(), line);
}

void fatal_out(const char* unit, int line, int status, const std::string& message) {
    throw FatalError(unit, line, status, message, "");
}

void fatal_err(const char* unit, int line, int status, const std::string& message) {
    throw FatalError(unit, line, status, "", message);
}

int report_fatal(const FatalError& e) {
    if (e.header) std::fputs(e.header_text().c_str(), stdout);
    std::fputs(e.out_text.c_str(), stdout);
    std::fflush(stdout);
    if (!e.err_text.empty()) {
        std::fputs(e.err_text.c_str(), stderr);
        std::fflush(stderr);
    }
    return e.status;
}

}  // namespace krymo

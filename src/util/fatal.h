// One fatal-error facility for the whole program.
//
// Stages never call exit(): they throw FatalError, which main() catches, prints and turns into the
// process exit status. Unit tests catch the same type and assert the text and the status.
#pragma once

#include <stdexcept>
#include <string>

namespace krymo {

struct FatalError : std::runtime_error {
    std::string unit;      // source unit named in the error header ("krymo_inp", "fileio", ...)
    int line = 0;          // line of the failing check
    int status = 1;        // process exit status (255 stands for the historical -1)
    std::string out_text;  // message printed on standard output after the header
    std::string err_text;  // message printed on standard error after the header
    bool header = true;    // false for the few messages that carry no error header

    FatalError(std::string unit_, int line_, int status_, std::string out, std::string err, bool with_header = true);

    // The error header "\nERROR  transport : <unit> : line <n> : \n".
    std::string header_text() const;
};

// Throws FatalError; message goes to standard output.
[[noreturn]] void fatal_out(const char* unit, int line, int status, const std::string& message);
// Throws FatalError; message goes to standard error (the header still goes to standard output).
[[noreturn]] void fatal_err(const char* unit, int line, int status, const std::string& message);

// Prints a caught error the way the program reports it and returns its exit status.
int report_fatal(const FatalError& e);

}  // namespace krymo

#define KRYMO_FATAL_OUT(unit, status, msg) ::krymo::fatal_out((unit), __LINE__, (status), (msg))
#define KRYMO_FATAL_ERR(unit, status, msg) ::krymo::fatal_err((unit), __LINE__, (status), (msg))

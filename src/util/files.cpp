#include "util/files.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdarg>
#include <cstdio>
#include <exception>
#include <fstream>

#include "util/fatal.h"
#include "util/text.h"

namespace krymo {

void create_directory(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) mkdir(path.c_str(), 0750);
}

void create_directories(const std::string& path) {
    for (size_t pos = path.find('/', 1); pos != std::string::npos; pos = path.find('/', pos + 1))
        create_directory(path.substr(0, pos));
    if (!path.empty()) create_directory(path);
}

bool file_exists(const char* path) {
    if (path == nullptr) return false;
    std::FILE* fp = std::fopen(path, "r");
    if (fp == nullptr) return false;
    std::fclose(fp);
    return true;
}

bool read_lines(const std::string& path, std::vector<std::string>& lines, bool keep_eol) {
    lines.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        bool had_newline = !in.eof();
        if (keep_eol) {
            if (had_newline) line += '\n';
        } else if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return true;
}

const InputKind kCrystalInput = {"crystal file", 256u << 20};
const InputKind kMolInput = {"MOL file", 256u << 20};
// The settings file holds settings and appended quantum-chemistry text (basis sets): a few kB, and
// some hundred kB for a box of thousands of molecules with per-molecule lists.
const InputKind kSettingsInput = {"input file", 16u << 20};
// Up to NNEIMAX lines per molecule of a box of some hundred thousand molecules.
const InputKind kNeighborInput = {"neighbour list", 1024u << 20};
// Tables the run or its later stages wrote: rates and lists of a box of some hundred thousand molecules.
const InputKind kDataInput = {"data file", 1024u << 20};

namespace {
const char* file_type_name(mode_t mode) {
    if (S_ISDIR(mode)) return "a directory";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISFIFO(mode)) return "a pipe";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

std::string size_text(std::uintmax_t bytes) {
    if (bytes >= (1u << 20)) return format_string("%.0f MB", static_cast<double>(bytes) / (1u << 20));
    if (bytes >= 1024) return format_string("%.0f kB", static_cast<double>(bytes) / 1024);
    return format_string("%ju bytes", bytes);
}
}  // namespace

bool read_input_lines(const std::string& path, const InputKind& kind, const char* unit, std::vector<std::string>& lines,
                      bool keep_eol) {
    lines.clear();
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return false;
    if (!S_ISREG(st.st_mode))
        KRYMO_FATAL_OUT(unit, 1,
                        format_string("The %s \"%s\" is %s: a regular text file is expected.\n", kind.name,
                                      path.c_str(), file_type_name(st.st_mode)));
    if (static_cast<std::uintmax_t>(st.st_size) > kind.max_bytes)
        KRYMO_FATAL_OUT(unit, 1,
                        format_string("The %s \"%s\" is too large: %jd bytes, while at most %s are read.\n",
                                      kind.name, path.c_str(), static_cast<intmax_t>(st.st_size),
                                      size_text(kind.max_bytes).c_str()));
    return read_lines(path, lines, keep_eol);
}

TextWriter::~TextWriter() {
    if (std::uncaught_exceptions() > uncaught_)
        discard();
    else
        close();
}

bool TextWriter::open(const std::string& path) {
    close();
    path_ = path;
    tmp_path_ = path + ".krymo-part";
    failed_ = false;
    uncaught_ = std::uncaught_exceptions();
    fp_ = std::fopen(tmp_path_.c_str(), "w");
    return fp_ != nullptr;
}

void TextWriter::discard() {
    if (fp_ == nullptr) return;
    std::fclose(fp_);
    fp_ = nullptr;
    std::remove(tmp_path_.c_str());
}

void TextWriter::write(const std::string& text) {
    if (fp_ == nullptr) return;
    if (!text.empty() && std::fwrite(text.data(), 1, text.size(), fp_) != text.size()) failed_ = true;
}

void TextWriter::printf(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::string s = vformat_string(fmt, ap);
    va_end(ap);
    write(s);
}

bool TextWriter::close() {
    if (fp_ == nullptr) return !failed_;
    if (std::fclose(fp_) != 0) failed_ = true;
    fp_ = nullptr;
    if (failed_ || std::rename(tmp_path_.c_str(), path_.c_str()) != 0) {
        std::remove(tmp_path_.c_str());
        failed_ = true;
    }
    return !failed_;
}

namespace {
[[noreturn]] void output_failed(const std::string& path, const OutputFailure& f) {
    const std::string msg = "Failed to open output file " + (f.quoted ? "\"" + path + "\"" : path) + "\n";
    if (f.on_stderr) throw FatalError(f.unit, __LINE__, f.status, "", msg);
    throw FatalError(f.unit, __LINE__, f.status, msg, "");
}
}  // namespace

void open_output(TextWriter& w, const std::string& path, const OutputFailure& failure) {
    if (!w.open(path)) output_failed(path, failure);
}

void close_output(TextWriter& w, const OutputFailure& failure) {
    if (!w.close()) output_failed(w.path(), failure);
}

}  // namespace krymo

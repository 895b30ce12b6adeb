#include "util/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <cstdarg>
#include <cstdio>
#include <exception>
#include <fstream>
#include <sstream>

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

std::string bytes_fingerprint(const std::string& bytes) {
    std::uint64_t h = 14695981039346656037ull;
    for (const char c : bytes) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ull;
    }
    return format_string("%016llx", static_cast<unsigned long long>(h));
}

std::string file_fingerprint(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::string();
    std::ostringstream text;
    text << in.rdbuf();
    return bytes_fingerprint(text.str());
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

namespace {
std::string real_path(const std::string& path) {
    char* r = realpath(path.c_str(), nullptr);
    if (r == nullptr) return std::string();
    std::string out = r;
    std::free(r);
    return out;
}

bool inside(const std::string& base, const std::string& path) {
    return path == base || (starts_with(path, base) && (base == "/" || path[base.size()] == '/'));
}

// `path` (below the study) and, when it is a real folder, every folder below it. A link to a file
// below a folder is harmless (the writer replaces the link, never follows it); a link in place of a
// folder leads every write below it elsewhere.
void check_folder(const std::string& base, const std::string& path, const char* unit, bool named) {
    struct stat st, target_st;
    if (lstat(path.c_str(), &st) != 0) return;
    const bool to_folder = stat(path.c_str(), &target_st) == 0 && S_ISDIR(target_st.st_mode);
    if (S_ISLNK(st.st_mode) && (named || to_folder)) {
        const std::string target = real_path(path);
        // A dangling link would be followed by the first mkdir or open below it.
        if (target.empty() || !inside(base, target))
            KRYMO_FATAL_OUT(unit, 1,
                            format_string("The study folder holds \"%s\", a symbolic link that leads %s%s%s: the run "
                                          "writes only inside the study folder %s.\n  Replace the link by a folder of "
                                          "the study, or remove it.\n",
                                          path.c_str(), target.empty() ? "nowhere" : "outside it, to \"",
                                          target.c_str(), target.empty() ? "" : "\"", base.c_str()));
        return;
    }
    if (!S_ISDIR(st.st_mode)) return;
    DIR* d = opendir(path.c_str());
    if (d == nullptr) return;
    std::vector<std::string> below;
    while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        // Only folders and links can redirect a write; plain files are replaced by a rename, never followed.
        if (e->d_type == DT_DIR || e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) below.push_back(path + "/" + name);
    }
    closedir(d);
    for (const std::string& p : below) check_folder(base, p, unit, false);
}
}  // namespace

void refuse_links_outside(const std::string& root, const std::vector<std::string>& names,
                          const std::vector<std::string>& prefixes, const char* unit) {
    const std::string base = real_path(root);
    if (base.empty()) return;
    std::vector<std::string> top = names;
    if (DIR* d = opendir(root.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            for (const std::string& p : prefixes)
                if (starts_with(name, p)) top.push_back(name);
        }
        closedir(d);
    }
    for (const std::string& n : top) check_folder(base, root == "." ? n : root + "/" + n, unit, true);
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
    // Exclusive and never through a link: whatever sits under the temporary name (a part file left by a
    // killed run, or a link planted there) is removed, not followed, and a second attempt must create anew.
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::open(tmp_path_.c_str(), flags, 0666);
    if (fd < 0 && errno == EEXIST && ::unlink(tmp_path_.c_str()) == 0) fd = ::open(tmp_path_.c_str(), flags, 0666);
    if (fd < 0) return false;
    fp_ = fdopen(fd, "w");
    if (fp_ == nullptr) {
        ::close(fd);
        ::unlink(tmp_path_.c_str());
    }
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

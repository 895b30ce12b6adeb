// Small file-system helpers and the one writer every generated file goes through.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace krymo {

// Creates one directory (mode 0750) when the path does not exist; failures are silent by design:
// the following open of a file inside it reports the problem.
void create_directory(const std::string& path);
// Creates every missing directory along `path` (one level at a time, mode 0750).
void create_directories(const std::string& path);
bool file_exists(const char* path);
inline bool file_exists(const std::string& path) { return file_exists(path.c_str()); }

// Reads a whole text file into lines of any length. Each line keeps its line end ("\n", "\r\n")
// when `keep_eol` is set. Returns false when the file cannot be opened.
bool read_lines(const std::string& path, std::vector<std::string>& lines, bool keep_eol = true);

// A fingerprint of bytes (64-bit FNV-1a as 16 hex digits); of a file's bytes, or "" when it cannot be read.
std::string bytes_fingerprint(const std::string& bytes);
std::string file_fingerprint(const std::string& path);

// A kind of input file and the largest size read for it: far above any real file of the kind, far
// below what would exhaust memory when it is read into lines.
struct InputKind {
    const char* name;  // as messages name it: "crystal file", "MOL file", ...
    std::uintmax_t max_bytes;
};
extern const InputKind kCrystalInput, kMolInput, kSettingsInput, kNeighborInput, kDataInput;

// read_lines for an input of the run. A path that is not a regular file (a directory, a device such
// as /dev/zero, a pipe) or that is larger than the kind allows stops the run (unit, status 1) before
// anything is read, naming the file, what it is and what is expected. Returns false when the file
// does not exist or cannot be opened: each reader reports that in its own words.
bool read_input_lines(const std::string& path, const InputKind& kind, const char* unit, std::vector<std::string>& lines,
                      bool keep_eol);

// Stops the run (unit, status 1) when a folder the run writes into leads outside the study folder `root`
// through a symbolic link: each of `names` below `root`, each entry whose name starts with one of
// `prefixes`, and every folder below those. Links that stay inside the study are fine. Called before
// anything is written, so a refused study is left as it was.
void refuse_links_outside(const std::string& root, const std::vector<std::string>& names,
                          const std::vector<std::string>& prefixes, const char* unit);

// RAII writer: the text goes to a temporary file beside `path`, which replaces `path` when the
// writer is closed (or destroyed normally). When the writer is destroyed while an error unwinds,
// the temporary file is removed and any earlier file at `path` stays intact, so a stopped run never
// leaves a half-written file. Generated files are plain text, never made executable.
// The temporary file "<path>.krymo-part" is created exclusively and never through a link: a stale
// one (a file, or a link planted under that name) is removed first, never followed.
class TextWriter {
public:
    TextWriter() = default;
    explicit TextWriter(const std::string& path) { open(path); }
    ~TextWriter();
    TextWriter(const TextWriter&) = delete;
    TextWriter& operator=(const TextWriter&) = delete;

    bool open(const std::string& path);
    bool is_open() const { return fp_ != nullptr; }
    const std::string& path() const { return path_; }

    void write(const std::string& text);
    void printf(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    // A whole line: text followed by "\n".
    void line(const std::string& text = std::string()) { write(text); write("\n"); }
    // Flushes, closes and moves the file into place; returns false when any step failed.
    bool close();

private:
    void discard();

    std::FILE* fp_ = nullptr;
    std::string path_;
    std::string tmp_path_;
    int uncaught_ = 0;
    bool failed_ = false;
};

// How a stage reports an output file it cannot write: the unit and exit status of its error, the
// stream of the message "Failed to open output file <path>", and whether the path is quoted.
struct OutputFailure {
    const char* unit;
    int status;
    bool on_stderr;
    bool quoted;
};
// Opens `path` through `w`, or stops the run with the stage's failure report.
void open_output(TextWriter& w, const std::string& path, const OutputFailure& failure);
// Closes `w`; a file that could not be written completely stops the run the same way.
void close_output(TextWriter& w, const OutputFailure& failure);

}  // namespace krymo

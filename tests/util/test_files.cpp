// Directories, line and input reading, and the writer that replaces a file only when it is complete.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "test_support.h"
#include "transport/study_record.h"
#include "util/files.h"

using namespace krymo;
using namespace krymo_test;

namespace {
unsigned mode_of(const char* path) {
    struct stat st;
    return stat(path, &st) == 0 ? st.st_mode & 0777 : 01000;
}
}  // namespace

TEST(Files, DirectoriesLinesAndInputSizes) {
    ScopedStudyDir dir;
    create_directory("d");
    EXPECT_EQ(mode_of("d"), 0750u);
    chmod("d", 0700);
    create_directory("d");  // an existing directory is left alone
    EXPECT_EQ(mode_of("d"), 0700u);
    create_directories("p/q/r");
    EXPECT_TRUE(path_exists("p/q/r"));

    // Long lines stay whole, with or without their line ends.
    const std::string longline(5000, 'a');
    write_file("f.txt", "one\r\n" + longline + "\nlast");
    std::vector<std::string> lines;
    ASSERT_TRUE(read_lines("f.txt", lines, true));
    EXPECT_EQ(lines, (std::vector<std::string>{"one\r\n", longline + "\n", "last"}));
    ASSERT_TRUE(read_lines("f.txt", lines, false));
    EXPECT_EQ(lines[0], "one");
    // Inputs are read up to the size of their kind. Directories, devices and far too large inputs are
    // refused in the whole-run tests; this is the boundary.
    const InputKind tiny = {"tiny file", 8};
    write_file("eight", "1234567\n");
    EXPECT_TRUE(read_input_lines("eight", tiny, "u", lines, false));
    EXPECT_EQ(lines, std::vector<std::string>{"1234567"});
    write_file("nine", "12345678\n");
    const FatalError e = expect_fatal([&] { read_input_lines("nine", tiny, "u", lines, false); });
    EXPECT_EQ(e.status, 1);
    EXPECT_EQ(e.out_text, "The tiny file \"nine\" is too large: 9 bytes, while at most 8 bytes are read.\n");
}

TEST(TextWriter, ReplacesOnCloseAndKeepsOldFileWhenUnwinding) {
    ScopedStudyDir dir;
    {
        TextWriter w("out.txt");
        w.printf("%d %s\n", 7, "x");
        w.line("tail");
    }
    EXPECT_EQ(read_file("out.txt"), "7 x\ntail\n");
    EXPECT_EQ(mode_of("out.txt") & 0111, 0u);  // never executable
    // A stage that stops half way must not leave a half-written file behind.
    try {
        TextWriter w("out.txt");
        w.line("partial");
        throw std::runtime_error("stop");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(read_file("out.txt"), "7 x\ntail\n");
    EXPECT_FALSE(path_exists("out.txt.krymo-part"));

    // Failures name the file on the stream of the stage, quoted or not.
    TextWriter w;
    FatalError quoted = expect_fatal([&] { open_output(w, "no/dir/a.mol", OutputFailure{"fileio", 255, true, true}); });
    EXPECT_EQ(quoted.status, 255);
    EXPECT_EQ(quoted.err_text + quoted.out_text, "Failed to open output file \"no/dir/a.mol\"\n");
    FatalError plain =
        expect_fatal([&] { open_output(w, "no/dir/b.dat", OutputFailure{"transport", 1, false, false}); });
    EXPECT_EQ(plain.out_text, "Failed to open output file no/dir/b.dat\n");
}

TEST(TextWriter, NeverWritesThroughALinkPlantedUnderItsTemporaryName) {
    ScopedStudyDir dir;
    ScopedStudyDir outside;  // now the working directory; the study is `dir`
    write_file("victim", "keep\n");
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    ASSERT_EQ(symlink((outside.path() + "/victim").c_str(), "out.txt.krymo-part"), 0);
    write_file("stale.txt.krymo-part", "left by a killed run");
    for (const char* name : {"out.txt", "stale.txt"}) {
        TextWriter w(name);
        ASSERT_TRUE(w.is_open()) << name;
        w.line("new");
        EXPECT_TRUE(w.close());
        EXPECT_EQ(read_file(name), "new\n");
        EXPECT_FALSE(path_exists(std::string(name) + ".krymo-part"));
    }
    EXPECT_EQ(read_file(outside.path() + "/victim"), "keep\n");
}

TEST(Files, FoldersThatLeadOutsideTheStudyAreRefused) {
    ScopedStudyDir outside;
    ScopedStudyDir dir;
    for (const char* d : {"HL", "inner", "MC-marcus"}) mkdir(d, 0750);
    ASSERT_EQ(symlink("../inner", "HL/sub"), 0);           // a link that stays inside is fine
    ASSERT_EQ(symlink(outside.path().c_str(), "elsewhere"), 0);  // not a folder the run writes into
    refuse_links_outside(".", {"HL", "data", "RE"}, {"MC-"}, "u");
    // Each planted link: a named folder, a folder below it, one found by its prefix, a dangling one.
    const std::pair<const char*, const char*> planted[] = {
        {"HL/deeper", "\"HL/deeper\", a symbolic link that leads outside it"},
        {"MC-marcus/elec", "\"MC-marcus/elec\", a symbolic link that leads outside it"},
        {"RE", "\"RE\", a symbolic link that leads nowhere"},
    };
    for (const auto& [link, message] : planted) {
        ASSERT_EQ(symlink(std::string(link) == "RE" ? "/nonexistent/x" : outside.path().c_str(), link), 0);
        const FatalError e = expect_fatal([] { refuse_links_outside(".", {"HL", "data", "RE"}, {"MC-"}, "u"); });
        EXPECT_EQ(e.status, 1);
        EXPECT_NE(e.out_text.find(message), std::string::npos) << e.out_text;
        ASSERT_EQ(unlink(link), 0);
    }
}

TEST(Files, FingerprintsTellGeometryButNotResources) {
    ScopedStudyDir dir;
    const std::string gaussian = "%chk=2mol-1.chk\n%mem=4096MB\n%nprocs=8\n#P b3lyp\n\nt\n\n0 1\nC 0 0 0\n";
    const std::string orca = "! SP B3LYP\n\n%MaxCore 8000\n%PAL NPROCS 16 END\n\n*xyz 0 1\nC 0 0 0\n*\n";
    write_file("g", gaussian);
    write_file("o", orca);
    const std::string g = krymo::qc_input_fingerprint("g"), o = krymo::qc_input_fingerprint("o");
    EXPECT_EQ(file_fingerprint("g"), bytes_fingerprint(gaussian));
    EXPECT_EQ(krymo::qc_input_fingerprint("missing"), "");
    // Cores and memory keep the fingerprint; anything the result depends on changes it.
    const std::pair<std::string, bool> edits[] = {
        {replaced(gaussian, "%mem=4096MB", "%mem=8000MB"), true},   {replaced(gaussian, "%nprocs=8", "%nprocs=2"), true},
        {replaced(orca, "%PAL NPROCS 16 END", "%pal nprocs 4 end"), true}, {replaced(orca, "%MaxCore 8000", "%MaxCore 1"), true},
        {replaced(gaussian, "C 0 0 0", "C 0 0 0.1"), false},        {replaced(gaussian, "0 1", "1 2"), false},
        {replaced(gaussian, "b3lyp", "pbe0"), false},               {replaced(orca, "C 0 0 0", "C 0 0 1"), false},
        {replaced(gaussian, "%chk=2mol-1.chk", "%chk=2mol-7.chk"), false},
    };
    for (const auto& [text, same] : edits) {
        write_file("e", text);
        EXPECT_EQ(krymo::qc_input_fingerprint("e") == (text.find("*xyz") != std::string::npos ? o : g), same) << text;
    }
}

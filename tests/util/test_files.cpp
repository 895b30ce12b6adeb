#include <gtest/gtest.h>
#include <sys/stat.h>

#include "test_support.h"
#include "util/files.h"

using namespace krymo;
using krymo_test::read_file;
using krymo_test::ScopedStudyDir;

TEST(Files, DirectoriesAndExistence) {
    ScopedStudyDir dir;
    create_directory("d");
    struct stat st;
    ASSERT_EQ(stat("d", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0750u);
    chmod("d", 0700);
    create_directory("d");  // an existing directory is left alone
    stat("d", &st);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    create_directory("x/y");  // parents are not created
    EXPECT_FALSE(krymo_test::path_exists("x"));
    create_directories("p/q/r");
    EXPECT_TRUE(krymo_test::path_exists("p/q/r"));
    EXPECT_FALSE(file_exists(nullptr));
    EXPECT_FALSE(file_exists("nothere"));
}

TEST(Files, ReadLinesKeepsWholeLongLinesAndTheirEnds) {
    ScopedStudyDir dir;
    std::string longline(5000, 'a');
    krymo_test::write_file("f.txt", "one\r\n" + longline + "\nlast");
    std::vector<std::string> lines;
    ASSERT_TRUE(read_lines("f.txt", lines, true));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "one\r\n");
    EXPECT_EQ(lines[1], longline + "\n");
    EXPECT_EQ(lines[2], "last");
    ASSERT_TRUE(read_lines("f.txt", lines, false));
    EXPECT_EQ(lines[0], "one");
    EXPECT_FALSE(read_lines("missing.txt", lines));
}

TEST(TextWriter, ReplacesOnCloseAndKeepsOldFileWhenUnwinding) {
    ScopedStudyDir dir;
    {
        TextWriter w("out.txt");
        ASSERT_TRUE(w.is_open());
        w.printf("%d %s\n", 7, "x");
        w.line("tail");
    }
    EXPECT_EQ(read_file("out.txt"), "7 x\ntail\n");
    struct stat st;
    stat("out.txt", &st);
    EXPECT_EQ(st.st_mode & 0111, 0u);  // never executable

    // A stage that stops half way must not leave a half-written file behind.
    try {
        TextWriter w("out.txt");
        w.line("partial");
        throw std::runtime_error("stop");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(read_file("out.txt"), "7 x\ntail\n");
    EXPECT_FALSE(krymo_test::path_exists("out.txt.krymo-part"));

    TextWriter bad("no/such/dir/file.txt");
    EXPECT_FALSE(bad.is_open());
}

TEST(TextWriter, OutputFailuresNameTheFileOnTheStagesStream) {
    ScopedStudyDir dir;
    TextWriter w;
    FatalError quoted =
        krymo_test::expect_fatal([&] { open_output(w, "no/dir/a.mol", OutputFailure{"fileio", 255, true, true}); });
    EXPECT_EQ(quoted.unit, "fileio");
    EXPECT_EQ(quoted.status, 255);
    EXPECT_EQ(quoted.err_text, "Failed to open output file \"no/dir/a.mol\"\n");
    EXPECT_EQ(quoted.out_text, "");
    FatalError plain =
        krymo_test::expect_fatal([&] { open_output(w, "no/dir/b.dat", OutputFailure{"transport", 1, false, false}); });
    EXPECT_EQ(plain.out_text, "Failed to open output file no/dir/b.dat\n");
    EXPECT_EQ(plain.status, 1);
}

// The formatted-checkpoint reader on a small file and on damaged copies of it (real files: test_readers.cpp).
#include <gtest/gtest.h>

#include "qcpost/fchk.h"
#include "qcpost/qcpost_tools.h"

using namespace krymo::qcpost;
using namespace krymo_test;

TEST(Fchk, DamagedFilesNameFileLineAndWhatWasExpected) {
    const std::string good =
        "title\nSP  RB3LYP  STO-3G\n"
        "Number of atoms                            I                2\n"
        "Total Energy                               R     -1.5E+00\n"
        "Route                                      C   N=           6\n"
        "#p b3lyp/sto-3g guess=read geom=allcheck pop=full iop(3/33=1\n"
        ",3/36=-1)   \n"
        "Values                                     R   N=           6\n"
        "  1.00000000E+00  2.00000000E+00  3.00000000E+00  4.00000000E+00  5.00000000E+00\n"
        "  6.00000000-101\n"
        "Atomic numbers                             I   N=           2\n"
        "           6           1\n";
    const FchkFile f = parse_fchk("x.fchk", good);
    EXPECT_EQ(f.reals("Values").size(), 6u);
    EXPECT_DOUBLE_EQ(f.reals("Values")[5], 6e-101);
    EXPECT_DOUBLE_EQ(f.real("Total Energy"), -1.5);
    EXPECT_EQ(f.ints("Atomic numbers")[1], 1);
    EXPECT_EQ(f.line("Atomic numbers"), 11);

    const struct Case {
        const char* name;
        std::string text;
        const char* message;
    } cases[] = {
        {"array cut short by the next header", replaced(good, "  6.00000000-101\n", ""),
         "x.fchk, line 10: \"Atomic\" is not a finite real number (value 6 of 6 of \"Values\", line 8)"},
        {"file ends inside an array", good.substr(0, good.rfind("           6")),
         "x.fchk, line 11: the file ends inside \"Atomic numbers\" (line 11 announces 2 values, 0 were read)"},
        {"NaN", replaced(good, "3.00000000E+00", "NaN"), "x.fchk, line 9: \"NaN\" is not a finite real number"},
        {"Fortran overflow stars", replaced(good, "3.00000000E+00", "**************"),
         "x.fchk, line 9: \"**************\" is not a finite real"},
        {"too many values", replaced(good, "           6           1\n", "           6           1           8\n"),
         "x.fchk, line 12: more values than the 2 that \"Atomic numbers\" (line 11) announces"},
        {"binary junk", replaced(good, "Total Energy", std::string("Tot\0l Energy", 12)),
         "x.fchk, line 4: binary content"},
        {"no header", replaced(good, "Atomic numbers                             I", "garbage"),
         "x.fchk, line 11: expected an entry header"},
        {"bad scalar", replaced(good, "-1.5E+00", "-1.5E+0x"), "x.fchk, line 4: \"Total Energy\": expected a finite real"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const krymo::FatalError e = expect_fatal([&] { parse_fchk("x.fchk", c.text); });
        EXPECT_EQ(e.status, 1);
        expect_messages(e.out_text, {c.message});
    }
    // Asking for an entry the file lacks, or of the other type.
    expect_messages(expect_fatal([&] { f.reals("Overlap Matrix"); }).out_text, {"x.fchk: no \"Overlap Matrix\" entry"});
    expect_messages(expect_fatal([&] { f.ints("Values"); }).out_text, {"x.fchk, line 8: \"Values\": integer values"});
}

// Read mode of the neighbour list: a written neighbor.dat reads back to the same list, in the file's
// order, and every malformed file stops the run with a message naming the file and the line.
#include "transport/transport_fixture.h"

using krymo_test::TestTransport;

namespace {

// Two molecules in a small monoclinic cell, so the list has several roots, cells and distances.
void two_molecule_cell(TestTransport& t) {
    t.set_cell(6, 5, 7, 90, 105, 90);
    t.add_molecule_frac({6, 1, 1}, {0.1, 0.1, 0.1, 0.25, 0.1, 0.1, 0.1, 0.3, 0.1});
    t.add_molecule_frac({8, 1}, {0.6, 0.55, 0.5, 0.6, 0.7, 0.55});
    t.set_search(4.5, 1, 1, 1);
}

const char* const kHead = "# c1\n# c2\n";

krymo::FatalError read_fails(const std::string& text) {
    krymo_test::write_file("neighbor.dat", text);
    TestTransport t;
    two_molecule_cell(t);
    t.calc_x_com();
    return krymo_test::expect_fatal([&] { t.build_neighbor_list(true, false); });
}

}  // namespace

TEST(NeighborRead, WrittenFileReadsBackToTheSameList) {
    krymo_test::ScopedStudyDir dir;
    TestTransport t;
    two_molecule_cell(t);
    t.build();
    ASSERT_GT(t.nnei[0], 3);
    t.output_neighbor_data();
    krymo_test::write_file("neighbor.dat", krymo_test::read_file("data/neighbor.dat"));

    TestTransport r;
    two_molecule_cell(r);
    r.calc_x_com();
    const std::string out = krymo_test::capture_stdout([&] { r.build_neighbor_list(true, false); });
    EXPECT_EQ(out, "Reading file 'neighbor.dat'\n");
    EXPECT_EQ(r.list_text(), t.list_text());
    EXPECT_EQ(r.nei_com_x, t.nei_com_x);
}

TEST(NeighborRead, KeepsTheFileOrderAndReadsLongLines) {
    krymo_test::ScopedStudyDir dir;
    // Entries out of distance order, a tab-separated line and a line far beyond 255 characters.
    const std::string pad(400, ' ');
    krymo_test::write_file("neighbor.dat", std::string(kHead) + "2\n1 0 0 0 # root\n3 # x\n" +
                                               "  2 9 9 9 9 0 0 1\n\t1\t0\t0\t0\t5\t1\t0\t0\n" + pad +
                                               "2 0 0 0 0 -1 0 0" + pad + "\r\n" +
                                               "2 root\n0 # none\n");
    TestTransport r;
    two_molecule_cell(r);
    r.calc_x_com();
    krymo_test::capture_stdout([&] { r.build_neighbor_list(true, false); });
    EXPECT_EQ(r.list_text(), "2:0,0,1 1:1,0,0 2:-1,0,0 \n\n");
}

TEST(NeighborRead, MalformedFilesStopTheRun) {
    krymo_test::ScopedStudyDir dir;
    struct Case {
        std::string text;
        std::string message;
    };
    const std::string root = "1 0 0 0 # root\n";
    const std::string ok_entry = " 2  0 0 0 0  0 0 1\n";
    const Case cases[] = {
        {std::string(kHead) + "3\n", "Readin nmols (3) in neighbor.dat not equal to nmols (2) in unitcell!\n"},
        {std::string(kHead) + "two\n",
         "neighbor.dat line 3: 'two' does not start with an integer; expected the number of molecules\n"},
        {std::string(kHead) + "2\n" + root + "1 #\n 2 0 0 0 0 0 1\n", "ncol (7) in neighbor.dat not equal to 8!\n"},
        {std::string(kHead) + "2\n" + root + "300 #\n",
         "neighbor.dat line 5: number of neighbours 300 of molecule 1 is outside 0..299 (NNEIMAX 300)\n"},
        {std::string(kHead) + "2\n" + root + "-1 #\n",
         "neighbor.dat line 5: number of neighbours -1 of molecule 1 is outside 0..299 (NNEIMAX 300)\n"},
        {std::string(kHead) + "2\n" + root + "1 #\n 3  0 0 0 0  0 0 1\n",
         "neighbor.dat line 6: neighbour molecule 3 is outside 1..2\n"},
        {std::string(kHead) + "2\n" + root + "1 #\n 0  0 0 0 0  0 0 1\n",
         "neighbor.dat line 6: neighbour molecule 0 is outside 1..2\n"},
        {std::string(kHead) + "2\n" + root + "1 #\n 2  0 0 0 0  0 0.5 1\n",
         "neighbor.dat line 6: column 7 is '0.5'; expected an integer, the cell index b\n"},
        {std::string(kHead) + "2\n" + root + "1 #\n 2x  0 0 0 0  0 0 1\n",
         "neighbor.dat line 6: column 1 is '2x'; expected an integer, the neighbour molecule number\n"},
        {std::string(kHead) + "2\n" + root + "2 #\n" + ok_entry,
         "neighbor.dat line 7: the file ends here, but a neighbour line was expected\n"},
        {std::string(kHead) + "2\n" + root + "1 #\n" + ok_entry,
         "neighbor.dat line 7: the file ends here, but a root line was expected\n"},
    };
    for (const Case& c : cases) {
        const krymo::FatalError e = read_fails(c.text);
        EXPECT_EQ(e.status, 1) << c.text;
        EXPECT_EQ(e.unit, "transport");
        EXPECT_EQ(e.out_text, c.message) << c.text;
    }
    std::remove("neighbor.dat");
    TestTransport t;
    two_molecule_cell(t);
    const krymo::FatalError e = krymo_test::expect_fatal([&] { t.build_neighbor_list(true, false); });
    EXPECT_EQ(e.out_text, "Failed to open input file: neighbor.dat\n");
    EXPECT_EQ(e.status, 1);
}

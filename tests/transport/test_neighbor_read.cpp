// Read mode of the neighbour list: a written neighbor.dat reads back to the same list, in the file's
// order, and every malformed file stops the run with a message naming the file and the line.
#include <cstdio>

#include "transport/transport_fixture.h"

using namespace krymo_test;

namespace {

// Two molecules in a small monoclinic cell, so the list has several roots, cells and distances;
// with text, ./neighbor.dat holds it, ready to be read.
void two_molecule_cell(TestTransport& t, const std::string& text = "") {
    if (!text.empty()) write_file("neighbor.dat", text);
    t.set_cell(6, 5, 7, 90, 105, 90);
    t.add_molecule({6, 1, 1}, {0.1, 0.1, 0.1, 0.25, 0.1, 0.1, 0.1, 0.3, 0.1}, true);
    t.add_molecule({8, 1}, {0.6, 0.55, 0.5, 0.6, 0.7, 0.55}, true);
    t.set_search(4.5, 1);
    t.calc_x_com();
}

}  // namespace

TEST(NeighborRead, WrittenFileReadsBackToTheSameListAndFileOrderIsKept) {
    ScopedStudyDir dir;
    TestTransport t, r, o;
    two_molecule_cell(t);
    t.build();
    t.output_neighbor_data();
    two_molecule_cell(r, read_file("data/neighbor.dat"));
    capture_stdout([&] { r.build_neighbor_list(true, false); });
    EXPECT_EQ(r.list_text(), t.list_text());
    EXPECT_EQ(r.nei_com_x, t.nei_com_x);
    // Entries out of distance order, a tab-separated line and a line far beyond 255 characters.
    const std::string pad(400, ' ');
    two_molecule_cell(o, "# c1\n# c2\n2\n1 0 0 0 # root\n3 # x\n  2 9 9 9 9 0 0 1\n\t1\t0\t0\t0\t5\t1\t0\t0\n" + pad +
                             "2 0 0 0 0 -1 0 0" + pad + "\r\n2 root\n0 # none\n");
    capture_stdout([&] { o.build_neighbor_list(true, false); });
    EXPECT_EQ(o.list_text(), "2:0,0,1 1:1,0,0 2:-1,0,0 \n\n");
}

TEST(NeighborRead, MalformedFilesStopTheRun) {
    ScopedStudyDir dir;
    // Each text follows two comment lines; after "2\n" comes the root line of molecule 1. (BadInput's
    // table holds the other malformed lists.)
    const std::pair<std::string, std::string> cases[] = {
        {"3\n", "line 3: the list is for 3 molecules, but the unit cell holds 2\n"},
        {"2\n300 #\n", "line 5: number of neighbours 300 of molecule 1 is outside 0..299 (NNEIMAX 300)\n"},
        {"2\n-1 #\n", "line 5: number of neighbours -1 of molecule 1 is outside 0..299 (NNEIMAX 300)\n"},
        {"2\n1 #\n 3  0 0 0 0  0 0 1\n", "line 6: neighbour molecule 3 is outside 1..2\n"},
        {"2\n1 #\n 0  0 0 0 0  0 0 1\n", "line 6: neighbour molecule 0 is outside 1..2\n"},
        {"2\n1 #\n 2x 0 0 0 0 0 0 1\n", "line 6: column 1 is '2x'; expected an integer, the neighbour molecule number\n"},
        {"2\n2 #\n 2  0 0 0 0  0 0 1\n", "line 7: the file ends here, but a neighbour line was expected\n"},
        {"2\n1 #\n 2  0 0 0 0  0 0 1\n", "line 7: the file ends here, but a root line was expected\n"},
    };
    for (const auto& c : cases) {
        std::string text = c.first;
        if (text.rfind("2\n", 0) == 0) text.insert(2, "1 0 0 0 # root\n");
        TestTransport r;
        two_molecule_cell(r, "# c1\n# c2\n" + text);
        expect_stop([&] { r.build_neighbor_list(true, false); }, 1, "neighbor.dat " + c.second);
    }
    std::remove("neighbor.dat");
    TestTransport t;
    two_molecule_cell(t);
    expect_stop([&] { t.build_neighbor_list(true, false); }, 1, "Failed to open input file: neighbor.dat\n");
}

// Malformed inputs of every kind, each spoiling one file of an otherwise good study (the real crystal
// and MOL files of tests/data): the whole preparation stops with a non-zero status, naming the file
// and what is wrong, and writes nothing when the fault lies in what is read before writing starts.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <optional>
#include <sstream>

#include "driver/driver.h"
#include "driver/status.h"
#include "test_support.h"

using namespace krymo_test;

namespace {

enum Target { Inp, Cif, MolInp, V2000, V3000, Nei };

// An edit of a file's text. Two results stand for other things than text: kDirectory puts a directory
// in place of the file, kHuge a sparse file larger than any input limit.
using Edit = std::function<std::string(const std::string&)>;
const std::string kDirectory = "\x01directory", kHuge = "\x01huge";

// Line n (1-based) becomes `to`.
Edit line_no(size_t n, std::string to) {
    return [=](const std::string& s) {
        size_t from = 0;
        for (size_t k = 1; k < n; ++k) from = s.find('\n', from) + 1;
        return s.substr(0, from) + to + s.substr(s.find('\n', from));
    };
}
// The first line starting with `prefix` becomes `to`.
Edit line(std::string prefix, std::string to) {
    return [=](const std::string& s) {
        const size_t p = s.rfind(prefix, 0) == 0 ? 0 : s.find("\n" + prefix);
        if (p == std::string::npos) ADD_FAILURE() << "no line starts with " << prefix;
        if (p == std::string::npos) return s;
        const size_t from = p == 0 ? 0 : p + 1;
        return s.substr(0, from) + to + s.substr(s.find('\n', from));
    };
}
// Every line starting with `prefix` goes.
Edit drop_lines(std::string prefix) {
    return [=](const std::string& s) {
        std::string kept, l;
        for (std::istringstream in(s); std::getline(in, l);)
            if (l.rfind(prefix, 0) != 0) kept += l + "\n";
        return kept;
    };
}
Edit text(std::string t) { return [=](const std::string&) { return t; }; }
Edit append(std::string t) { return [=](const std::string& s) { return s + t; }; }
// Everything after the first `marker` is lost.
Edit cut_after(std::string marker) {
    return [=](const std::string& s) {
        const size_t p = s.find(marker);
        EXPECT_NE(p, std::string::npos) << marker;
        return s.substr(0, p + marker.size());
    };
}
// A setting added at the end of the &transport section.
Edit setting(std::string line) { return [=](const std::string& s) { return replaced(s, "/\n", line + "\n/\n"); }; }
const Edit kDir = text(kDirectory), kTooLarge = text(kHuge);
Edit file(const std::string& rel) { return text(read_file(data_path("e2e/" + rel))); }

struct BadInput {
    Target target;
    Edit edit;
    const char* phrase;           // what the message says is wrong
    const char* names = nullptr;  // the file the message names, when not the spoiled one
};

// The good studies: a crystal, the same cell as two MOL files of either format, and read mode with
// the neighbour list a good run wrote.
std::map<std::string, std::string> study(Target t, const std::string& neighbor_dat) {
    const std::string block = "  neighbor_scell = 2 2 2\n/\n";
    if (t == Inp || t == Cif || t == Nei) {
        std::map<std::string, std::string> s = {
            {"krymo.inp", "&transport\n  crystal = naphthalene.cif\n" + block},
            {"naphthalene.cif", read_file(data_path("crystals/naphthalene.cif"))}};
        if (t == Nei) {
            s["krymo.inp"] = replaced(s["krymo.inp"], block, "  read_neighbor_dat = 1\n" + block);
            s["neighbor.dat"] = neighbor_dat;
        }
        return s;
    }
    const std::string dir = data_path(t == V3000 ? "mol/naphthalene_cell/v3000/" : "mol/naphthalene_cell/v2000/");
    return {{"krymo.inp", "&transport\n  molecule = 2 mol1.mol mol2.mol\n  vector_a = 8.034800 0 0\n"
                          "  vector_b = 0 5.889900 0\n  vector_c = -4.738553 0 7.134798\n" + block},
            {"mol1.mol", read_file(dir + "mol1.mol")}, {"mol2.mol", read_file(dir + "mol2.mol")}};
}

// The file each target spoils.
const char* const kSpoiled[] = {"krymo.inp", "naphthalene.cif", "krymo.inp", "mol1.mol", "mol1.mol", "neighbor.dat"};

void write_study(const std::map<std::string, std::string>& files) {
    for (const auto& [name, content] : files) {
        if (content == kDirectory) {
            mkdir(name.c_str(), 0750);
        } else if (content == kHuge) {
            const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0640);
            ASSERT_EQ(ftruncate(fd, 2LL << 30), 0);
            close(fd);
        } else {
            write_file(name, content);
        }
    }
}

// The whole preparation in this process, as krymo_prepare runs it; its error when it stops.
std::optional<krymo::FatalError> run_study(std::string* screen = nullptr) {
    try {
        krymo::PrepareOptions opts;
        opts.info = false;
        const std::string out = capture_stdout([&] { krymo::run_prepare(opts); });
        if (screen) *screen = out;
    } catch (const krymo::FatalError& e) {
        return e;
    }
    return std::nullopt;
}

}  // namespace

TEST(BadInput, EveryMalformedInputStopsTheRunNamingTheFileAndWhatIsWrong) {
    // Each good study runs through; read mode takes the list the crystal study wrote.
    std::string neighbor_dat;
    for (Target t : {Cif, V2000, V3000, Nei}) {
        ScopedStudyDir dir;
        write_study(study(t, neighbor_dat));
        const std::optional<krymo::FatalError> e = run_study();
        ASSERT_FALSE(e) << t << ": " << e->out_text << e->err_text;
        if (t == Cif) neighbor_dat = read_file("data/neighbor.dat");
        if (t == Nei) EXPECT_EQ(read_file("data/neighbor.dat"), neighbor_dat);  // read back, written unchanged
    }
    ASSERT_NE(neighbor_dat.find("# root"), std::string::npos);

    const std::string mol_atom1 = "    5.1115    3.2960   -3.2371 H   0  0  0  0  0  0  0  0  0  0  0  0";
    const BadInput cases[] = {
        // krymo.inp (the syntax and value rules of each key are the reader's tests; these reach the whole run)
        {Inp, setting("chargetype = holes"), "Invalid value of chargetype in krymo.inp, line 4: \"holes\""},
        {Inp, kDir, "is a directory: a regular text file is expected"},
        {Inp, kTooLarge, "is too large: 2147483648 bytes, while at most 16 MB are read"},
        {Inp, setting("lattice_cutoff = 1e9"), "would test about 5e+25 molecule pairs"},
        {Inp, setting("crystal = /dev/zero"), "\"/dev/zero\" is a device", "/dev/zero"},
        {Inp, setting("crystal = ."), "The crystal file \".\" is a directory", "\".\""},
        {Inp, setting("crystal = missing.cif"), "Failed to open input file", "missing.cif"},
        // a cutoff that finds no pair, or more neighbours than a molecule may have, names the key and line
        {Inp, setting("lattice_cutoff = 0.5"),
         "closer than lattice_cutoff = 0.5 Angstrom (krymo.inp, line 4) within neighbor_scell 2 2 2: the study would "
         "have no neighbour pair at all"},
        {Inp, setting("lattice_cutoff = 30\n  neighbor_scell = 4 4 4"),
         "neighbour molecules within lattice_cutoff = 30 Angstrom (krymo.inp, line 4); at most 299 are allowed"},
        // settings the generated scripts cannot carry; ${TMPDIR} and $USER are left to the node (HostileNames)
        {Inp, setting("scratch = /scratch/x;rm -rf ~"),
         "scratch in krymo.inp, \"/scratch/x;rm -rf ~\", holds ';', a blank"},
        {Inp, setting("queue_name = \"long q\""), "queue_name in krymo.inp, \"long q\", holds a blank"},
        {Inp, setting("nodelist = n1`id`"), "holds '`'"},
        {Inp, setting("scratch = $(whoami)"), "holds '$'"},
        {Inp, setting("module_qc = gaussian/16|x"), "holds '|'"},
        // the crystal file
        {Cif, text(""), "No atoms read from crystal file"},
        {Cif, kTooLarge, "while at most 256 MB are read"},
        {Cif, cut_after("C C2 0.1158(6)"), "holds 23 values, not a whole number of rows of its 10 tags; the rows go "
                                           "wrong at line 171"},
        {Cif, line("_cell_length_b", "_cell_length_b 5.8899x7"), "Bad value \"5.8899x7\" of _cell_length_b"},
        {Cif, line("_cell_length_a", "_cell_length_a 0"), "Cell length _cell_length_a = 0 in crystal file"},
        {Cif, line("_cell_length_a", "_cell_length_a 1e300"), "a length from 1 to 100000 Angstrom is expected"},
        {Cif, line("_cell_angle_beta", "_cell_angle_beta 0"), "Cell angle _cell_angle_beta = 0"},
        {Cif, line("_cell_angle_alpha", "_cell_angle_alpha 30"), "cannot form a cell"},
        {Cif, line("_cell_length_c", "_cell_volume_c_missing 1"), "gives no _cell_length_c"},
        {Cif, line("'x, y, z'", "'x y z'"), "\"x y z\" in crystal file \"naphthalene.cif\" (line 154) cannot be used"},
        {Cif, line("H H1 ", "H H1 1e300 0.0596 0.4537 0.067 Uiso calc R 1"), "Fractional coordinate 1e300 of atom H1"},
        {Cif, line("H H1 ", "H H1 nan 0.0596 0.4537 0.067 Uiso calc R 1"), "Bad fractional coordinate \"nan\""},
        {Cif, line("H H1 ", "H H1 0.1314 0.0596"), "_atom_site_fract_x, ... at line 158 holds 84 values, not a whole"},
        // A ';' opening a line of the atom loop starts a text field that never ends.
        {Cif, line("H H1 ", ";H H1 0.1314 0.0596 0.4537 0.067 Uiso calc R 1"),
         "line 170 (in the loop of _atom_site_type_symbol, _atom_site_label, _atom_site_fract_x, ... at line 158): the "
         "text field"},
        {Cif, line("'x, y, z'", "'x, y, z' 'x, y"), "line 154 (in the loop of _symmetry_equiv_pos_as_xyz at line 152): the quoted value starting 'x, y is never closed"},
        // Trust in the crystal: one operation gone, one atom row gone, every hydrogen gone.
        {Cif, line("'-x, -y, -z'", ""), "do not form a group: x-1/2,-y-1/2,z followed by -x+1/2,y+1/2,-z gives -x,-y,-z"},
        {Cif, line("H H1 ", ""), "(C20H12) are no whole number of formula units C10H8"},
        {Cif, drop_lines("H H"), "holds carbon but no hydrogen atoms: its hydrogens are missing"},
        {Cif, append(replaced(read_file(data_path("crystals/naphthalene.cif")), "data_2100603", "data_copy")),
         "holds atom sites in 2 data blocks: data_2100603 (line 15), data_copy (line 237)"},
        {Inp, setting("cif_block = other"), "has no data block data_other (cif_block in the input file); its blocks are: "
                                            "data_2100603 (line 15)", "naphthalene.cif"},
        // A Cu-Cl zigzag chain along a: each Cu bonds to the Cl of the next cell.
        {Cif, file("chain.cif"), "holds no discrete molecules: molecule 1 (Cl2Cu2, 4 atoms) bonds to its own periodic "
                                 "image along the lattice direction [1 0 0]"},
        {Cif, line("H H1 ", "Hq H1 0.1314 0.0596 0.4537 0.067 Uiso calc R 1"), "Unknown element symbol \"Hq\""},
        {Cif, line("_atom_site_fract_x", "_atom_site_fract_q"), "No atoms read"},
        // krymo.inp of the molecule study
        {MolInp, line("  molecule", "  molecule = 2 cellvec.dat mol2.mol"), "would replace data/cellvec.dat"},
        {MolInp, line("  molecule", "  molecule = 2 mol1.mol ./mol1.mol"), "would both be copied to data/mol1.mol"},
        {MolInp, line("  molecule", "  molecule = 2 mol1.mol"), "2 molecule file names after the count, found 1"},
        {MolInp, line("  molecule", "  molecule = 2 mol1.mol none.mol"), "Failed to open input file", "none.mol"},
        {MolInp, line("  vector_a", "  vector_a = 0.5 0 0"), "a lattice vector of 1 to 100000 Angstrom"},
        {MolInp, line("  vector_b", "  vector_b = 8 0 0"), "do not span a cell"},
        // MOL files, V2000
        {V2000, text(""), "Cannot read atom and bond count"},
        {V2000, file("garbage.bin"), "Unreadable counts line \"\\xa8F\\xe4\\x83!"},
        {V2000, kDir, "The MOL file \"mol1.mol\" is a directory"},
        {V2000, line(" 18 19", "abc 19  0  0  0  0  0  0  0  0999 V2000"), "Unreadable counts line"},
        {V2000, line(" 18 19", "  0  0  0  0  0  0  0  0  0  0999 V2000"), "holds no atoms"},
        {V2000, line(" 18 19", "-18 19  0  0  0  0  0  0  0  0999 V2000"), "Negative atom count (-18)"},
        {V2000, line(mol_atom1, replaced(mol_atom1, "    5.1115", "     1e300")), "lies beyond 100000 Angstrom"},
        {V2000, line(mol_atom1, replaced(mol_atom1, "    5.1115", "          ")), "a finite number is expected"},
        {V2000, line(mol_atom1, "    5.1115    3.2960"), "Atom line 1 of a MDL file is too short"},
        {V2000, line(mol_atom1, replaced(mol_atom1, " H  ", " Xx ")), "Unknown element symbol \"Xx\""},
        {V2000, cut_after("    1.5903 C"), "Not enough atoms to match atom count (18)"},
        {V2000, line(" 18 19", " 18 19  1  0  0  0  0  0  0  0999 V2000"), "may contains Atom Lists"},
        // MOL files, V3000
        {V3000, line("M  V30 COUNTS", "M  V30 COUNTS 2147483647 19 0 0 0"),
         "gives 2147483647 atoms, but only 43 lines"},
        {V3000, line("M  V30 COUNTS", "M  V30 COUNTS abc 19 0 0 0"), "Unreadable atom count \"abc\""},
        {V3000, line("M  V30 COUNTS", "M  V30 COUNTS 25 19 0 0 0"), "holds 18 atoms, its COUNTS line 25"},
        {V3000, line("M  V30 1 H", "M  V30 1 H nan 3.296000 -3.237100 0"), "Bad coordinate \"nan\" of atom 1"},
        {V3000, line("M  V30 1 H", "M  V30 1 Xx 5.1115 3.296 -3.2371 0"), "Unknown element symbol \"Xx\""},
        {V3000, line("M  V30 1 H", "M  V30 1 H 5.1115 3.296"), "Malformed V3000 atom line"},
        {V3000, line("M  V30 1 H", "M  V30 1 R# 5.1115 3.296 -3.2371 0"), "contains an R group"},
        {V3000, cut_after("999 V3000\n"), "No complete V3000 atom block"},
        {V3000, cut_after("M  V30 BEGIN ATOM\n"), "gives 18 atoms, but only 1 lines follow it"},
        {V3000, cut_after("2.834200 2.365900 0\n"), "ends before its END ATOM line"},
        {V3000, line("M  V30 END ATOM", "M  V30 19 H 0 0 0 0"), "more atoms than its COUNTS line (18)"},
        {V3000, file("no_atoms_v3000.mol"), "holds no atoms"},
        // read mode: neighbor.dat
        {Nei, text(""), "the file ends here, but the first comment line was expected"},
        {Nei, file("garbage.bin"), "does not start with an integer; expected the number of molecules"},
        {Nei, kDir, "The neighbour list \"neighbor.dat\" is a directory"},
        {Nei, line_no(4, "2 0 0 0 # root"), "line 4: the root line '2 0 0 0 # root' is for molecule 2"},
        {Nei, line_no(6, "   1  0 0 0 0  0 0 0"), "line 6: molecule 1 is paired with itself in its own cell"},
        {Nei, line_no(6, "   2  0 0 0 0  9 0 0"), "cell index 9 along a is outside the search block -2..2"},
        {Nei, line_no(6, "   2  0 0 0 0  0 99999999999 0"), "column 7 is '99999999999'; expected an integer"},
        {Nei, append("   2  0 0 0 0  0 0 1\n"), "follows the neighbours of the last root (molecule 2)"},
        {Nei, text("# c\n# c\n2\n1 0 0 0 # root\n0\n2 0 0 0 # root\n0\n"),
         "(read_neighbor_dat in krymo.inp, line 3) gives no neighbour pair at all"},
        {Nei, line_no(6, "   2  0 0 0 0  0 0"), "neighbor.dat line 6: '2  0 0 0 0  0 0' has 7 columns"},
    };
    for (const BadInput& c : cases) {
        ScopedStudyDir dir;
        std::map<std::string, std::string> files = study(c.target, neighbor_dat);
        const std::string name = kSpoiled[c.target];
        files[name] = c.edit(files[name]);
        write_study(files);
        const std::optional<krymo::FatalError> e = run_study();
        const std::string what = name + ": " + c.phrase;
        EXPECT_TRUE(e) << what;
        if (!e) continue;
        const std::string message = e->out_text + e->err_text;
        EXPECT_NE(e->status, 0) << what;
        EXPECT_NE(message.find(c.phrase), std::string::npos) << what << "\n" << message;
        EXPECT_NE(message.find(c.names ? c.names : name), std::string::npos) << what << "\n" << message;
        // Every input is refused before the first file is written, the neighbour list included.
        std::vector<std::string> inputs;
        for (const auto& f : files) inputs.push_back(f.first);
        EXPECT_EQ(list_dir(dir.path()), inputs) << what;
    }
}

namespace {

std::map<std::string, std::string> crystal_study(const std::string& settings = "") {
    return {{"krymo.inp", "&transport\n  crystal = naphthalene.cif\n  neighbor_scell = 2 2 2\n" + settings + "/\n"},
            {"naphthalene.cif", read_file(data_path("crystals/naphthalene.cif"))}};
}

void expect_run_succeeds(const char* what, std::string* screen = nullptr) {
    const std::optional<krymo::FatalError> e = run_study(screen);
    ASSERT_FALSE(e) << what << ": " << e->out_text << e->err_text;
}

int status_of(std::string* out = nullptr, std::string* err = nullptr) {
    std::string o, e;
    const int s = krymo::run_status({"."}, o, e);
    if (out) *out = o;
    if (err) *err = e;
    return s;
}

krymo::StudyRecord record() {
    krymo::StudyRecord r;
    std::string why;
    EXPECT_TRUE(krymo::parse_study_json(read_file("data/study.json"), r, why)) << why;
    return r;
}

// What the program of a job would leave: its input's text and a normal end.
std::string output_of(const krymo::StudyJob& job) {
    return "result of " + read_file(job.input) + "\n Normal termination of Gaussian\n";
}

}  // namespace

TEST(BadInput, FoldersLinkedOutsideTheStudyAreRefusedBeforeAnyWrite) {
    for (const char* folder : {"HL", "RE", "data", "scr", "jobs", "RUN", "MC-quantum"}) {
        ScopedStudyDir outside;
        ScopedStudyDir dir;
        write_study(crystal_study());
        ASSERT_EQ(symlink(outside.path().c_str(), folder), 0);
        const std::optional<krymo::FatalError> e = run_study();
        ASSERT_TRUE(e) << folder;
        EXPECT_EQ(e->status, 1) << folder;
        EXPECT_NE(e->out_text.find(std::string("\"") + folder + "\", a symbolic link that leads outside it"),
                  std::string::npos)
            << e->out_text;
        EXPECT_TRUE(list_dir(outside.path()).empty()) << folder;
        EXPECT_EQ(list_dir(dir.path()).size(), 3u) << folder;  // the link, krymo.inp and the crystal
    }
}

TEST(BadInput, HostileNamesReachTheScriptsAsDataOnly) {
    // An absolute crystal path with a quote, a blank and a command substitution; an executable setting
    // and a node list that would run or split text when spliced in raw; a scratch the node expands.
    ScopedStudyDir outside;
    const std::string cif = outside.path() + "/we'ird $(touch pwned) \"x\".cif";
    write_file(cif, read_file(data_path("crystals/naphthalene.cif")));
    ScopedStudyDir dir;
    write_study({{"krymo.inp", "&transport\n  crystal = " + cif +
                                   "\n  neighbor_scell = 2 2 2\n  qc_exe = g09 $(touch pwned)\n  nodelist = n1 n2\n"
                                   "  sched_job_array = 0\n  ratetype = Marcus\n  scratch = ${TMPDIR}/$USER\n/\n"}});
    expect_run_succeeds("hostile names");
    // The canonical rate name makes the folder; the copy names the crystal exactly, as Python reads it.
    ASSERT_TRUE(path_exists("MC-marcus/elec/prepare-mc.py"));
    if (std::system("python3 -c pass 2>/dev/null") == 0)
        EXPECT_EQ(run_command("python3 -c \"import ast,sys; t=ast.parse(open(sys.argv[1]).read()); "
                              "sys.stdout.write([ast.literal_eval(n.args[0]) for n in ast.walk(t) if "
                              "isinstance(n, ast.Call) and getattr(n.func, 'attr', '') == 'copy'][1])\" "
                              "MC-marcus/elec/prepare-mc.py").output,
                  cif);
    const std::string job = read_file("jobs/job_uc_mol-1.pbs");
    EXPECT_NE(job.find("    g09 '$(touch' 'pwned)' uc_mol-1.com\n"), std::string::npos) << job;
    EXPECT_NE(job.find("#PBS -l nodes=n1+n2\n"), std::string::npos) << job;
    EXPECT_EQ(std::system("sh -n jobs/job_uc_mol-1.pbs"), 0);
    EXPECT_FALSE(path_exists("pwned"));
}

TEST(BadInput, ARerunNeverCountsAnOutputOfAnotherGeometry) {
    ScopedStudyDir dir;
    write_study(crystal_study());
    expect_run_succeeds("first run");
    // Every job ends normally, as its program would write it.
    for (const krymo::StudyJobSet& set : record().job_sets)
        for (const krymo::StudyJob& job : set.jobs)
            if (!job.output.empty()) write_file(job.output, output_of(job));
    ASSERT_EQ(status_of(), 0);

    // An input edited after its job ran: its output no longer counts.
    const std::string first_dimer = record().job_sets[2].jobs.at(0).input;
    const std::string kept = read_file(first_dimer);
    write_file(first_dimer, kept + "\n");
    std::string out;
    EXPECT_EQ(status_of(&out), 2) << out;
    write_file(first_dimer, kept);
    ASSERT_EQ(status_of(), 0);

    // A larger cutoff renumbers the pairs: the outputs of every input that changed move aside, the rest stay.
    write_study(crystal_study("  lattice_cutoff = 5\n"));
    std::string screen;
    expect_run_succeeds("larger cutoff", &screen);
    const krymo::StudyRecord r = record();
    ASSERT_GT(r.stale_files, 0);
    EXPECT_NE(screen.find("output files moved to " + r.stale_dir + "/\n"), std::string::npos) << screen;
    int moved = 0, kept_outputs = 0;
    for (const krymo::StudyJobSet& set : r.job_sets)
        for (const krymo::StudyJob& job : set.jobs) {
            if (job.output.empty() || !path_exists(job.output)) {
                moved += path_exists(r.stale_dir + "/" + job.output);
                continue;
            }
            ++kept_outputs;
            EXPECT_EQ(read_file(job.output), output_of(job)) << job.output;  // computed from exactly this input
        }
    EXPECT_EQ(moved, r.stale_jobs);
    EXPECT_GT(kept_outputs, 0);
    EXPECT_EQ(status_of(&out), 2) << out;
}

TEST(BadInput, AStoppedRunLeavesAStudyMarkedIncomplete) {
    ScopedStudyDir dir;
    write_study(crystal_study());
    expect_run_succeeds("first run");
    EXPECT_FALSE(path_exists("data/study.incomplete"));
    // The second run stops half way: its scripts folder cannot be made.
    ASSERT_EQ(std::system("rm -rf scr && touch scr"), 0);
    ASSERT_TRUE(run_study());
    std::string err;
    EXPECT_EQ(status_of(nullptr, &err), 1);
    EXPECT_NE(err.find("did not finish (./data/study.incomplete exists)"), std::string::npos) << err;
    // A complete run clears the mark.
    ASSERT_EQ(std::remove("scr"), 0);
    expect_run_succeeds("third run");
    EXPECT_FALSE(path_exists("data/study.incomplete"));
    EXPECT_EQ(status_of(), 2);
}

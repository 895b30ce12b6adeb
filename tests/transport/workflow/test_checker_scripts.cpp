// The output checkers and the Q-Chem checkpoint renamer: their text, and what they do when run.
#include <sys/stat.h>

#include "golden.h"
#include "transport/transport_fixture.h"

using namespace krymo_test;

namespace {

// All four scripts in scr/ of the current directory.
void write_all(TestTransport& t) {
    mkdir("scr", 0750);
    t.write_gaussian_log_check_py_file();
    t.write_orca_out_check_py_file();
    t.write_qchem_out_check_py_file();
    t.write_qchem_fchk_ext_lowercase_py_file();
}

// The checker, the text of the checked file (if it exists), whether it is named, the exit status.
struct CheckCase { const char* script; std::string output; bool exists; bool with_argument; int status; };

}  // namespace

TEST(CheckerScripts, TextAsWrittenAndExitStatusOnSampleOutputs) {
    ScopedStudyDir dir;
    TestTransport t;
    write_all(t);
    for (const std::string& f : list_dir("scr")) expect_golden(read_file("scr/" + f), "workflow/checkers/" + f + ".txt");
    const std::string gaussian_ok = " Entering Link 1\n SCF Done\n Normal termination of Gaussian 09 at Mon Jan  1 2024.\n";
    const CheckCase cases[] = {
        {"gaussian_log_check.py", gaussian_ok, true, true, 0},
        // Without a final line end the last line still counts.
        {"gaussian_log_check.py", " Normal termination of Gaussian 16", true, true, 0},
        // A later link started after the first normal end and did not finish.
        {"gaussian_log_check.py", gaussian_ok + " Entering Link 1\n", true, true, 1},
        // The text must start with its blank, as Gaussian prints it.
        {"gaussian_log_check.py", "Normal termination of Gaussian 09\n", true, true, 1},
        {"gaussian_log_check.py", "", false, true, 1},
        {"gaussian_log_check.py", gaussian_ok, true, false, 1},
        {"orca_out_check.py", "  ****ORCA TERMINATED NORMALLY****\nTOTAL RUN TIME: 0 days\n", true, true, 0},
        {"orca_out_check.py", "ORCA finished by error termination\n", true, true, 1},
        {"orca_out_check.py", "", false, true, 1},
        {"orca_out_check.py", "ORCA TERMINATED NORMALLY\n", true, false, 1},
        {"qchem_out_check.py", " *  Thank you very much for using Q-Chem.  Have a nice day.  *\n\nTotal job time\n", true,
         true, 0},
        {"qchem_out_check.py", "Q-Chem fatal error occurred\n", true, true, 1},
    };
    int n = 0;
    for (const CheckCase& c : cases) {
        const std::string out = "out" + std::to_string(++n);
        SCOPED_TRACE(std::string(c.script) + " on " + (c.exists ? c.output : "<missing>"));
        if (c.exists) write_file(out, c.output);
        const CommandResult r = run_command(python3_exe() + " scr/" + c.script + (c.with_argument ? " " + out : ""));
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.output, "");  // the job scripts print their own messages
    }
}

TEST(CheckerScripts, RenamerReplacesOlderLowerCaseFilesOnly) {
    ScopedStudyDir dir;
    TestTransport t;
    write_all(t);
    mkdir("RE", 0750);
    write_file("RE/a.FChk", "new a\n");
    write_file("RE/a.fchk", "old a\n");
    write_file("RE/b.fchk", "b\n");
    write_file("RE/c.out", "c\n");
    const CommandResult r = run_command(python3_exe() + " scr/qchem_fchk_ext_lowercase.py RE");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(files_text("RE"), "==> RE/a.fchk\nnew a\n==> RE/b.fchk\nb\n==> RE/c.out\nc\n");
}

TEST(CheckerScripts, QchemGeometryStepPutsTheOptimisedAtomsIntoTheFourPointInput) {
    ScopedStudyDir dir;
    TestTransport t;
    mkdir("scr", 0750);
    t.write_qchem_opt_geometry_py_file();
    // Q-Chem optimisations (a geometry of a step, then the converged one) and the four-point input.
    const std::string sample = data_path("transport/qchem_geometry/"), input = read_file(sample + "four_point.inp");
    const struct {
        const char* output;   // empty: none
        const char* message;  // empty: the atoms are replaced
        const char* file;     // named in the message
    } cases[] = {
        {"converged.out", "", ""},
        {"not_converged.out", "no \"OPTIMIZATION CONVERGED\"", "opt.out"},
        {"another_molecule.out", "not the same molecule", "fp.inp"},
        {"", "cannot read it", "opt.out"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        write_file("fp.inp", input);
        std::remove("opt.out");
        if (*c.output != '\0') write_file("opt.out", read_file(sample + c.output));
        const CommandResult r = run_command(python3_exe() + " scr/qchem_opt_geometry.py opt.out fp.inp");
        if (*c.message == '\0') {
            EXPECT_EQ(r.status, 0) << r.output;
            EXPECT_EQ(read_file("fp.inp"), read_file(sample + "four_point_done.inp"));
        } else {
            EXPECT_EQ(r.status, 1);
            EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output;
            EXPECT_NE(r.output.find(c.file), std::string::npos) << r.output;
            EXPECT_EQ(read_file("fp.inp"), input);  // left as it was: Q-Chem does not run on it
        }
    }
}

// The normal-mode stage: inputs, scripts and job scripts per engine and carrier (the stage runs for real
// in the end-to-end study).
#include <sys/stat.h>

#include "golden.h"
#include "transport/transport_fixture.h"

using namespace krymo_test;

namespace {

// Four molecules; molecules 1 and 3 represent the others. Molecule 2 has no bonds.
void four_molecules(TestTransport& t, int engine, char carrier, bool unique) {
    for (const char* d : {"data", "scr", "RUN"}) mkdir(d, 0750);
    write_file("data/mol1_bonds.dat", "2\n  1   2  0  0\n  1   3  0  0\n");
    write_file("data/mol2_bonds.dat", "0\n");
    write_file("data/mol3_bonds.dat", "1\n  1   2  0  0\n");
    write_file("data/mol4_bonds.dat", "1\n  2   3  0  0\n");
    t.nmols_uc = 4;
    t.RE_unique_mols = {1, 3};
    t.RE_unique = unique;
    t.compute_engine = engine;
    t.carrier_letter = carrier;
}

void write_stage(TestTransport& t) {
    if (t.get_unique_RE_calc_flag()) {
        t.write_evc_inp_files_unique();
        t.write_prepare_evc_files_unique("prepare_RE.py");
        t.write_get_re_py_file_unique("get_RE.py");
    } else {
        t.write_evc_inp_files();
        t.write_prepare_evc_files("prepare_RE.py");
        t.write_get_re_py_file("get_RE.py");
    }
}

// The inputs and work tree, the three scripts and the first job script, the work directory as @W@.
std::string stage_picture(const std::string& workdir) {
    std::string s = "==> tree\n" + run_command("find RE evc | sort").output + files_text("scr");
    const std::string job = run_command("ls evc/mol*/*/job_get_NM.* | head -1").output;
    s += "==> " + job + read_file(job.substr(0, job.size() - 1));
    return replaced(s, workdir, "@W@", false);
}

struct StageCase { const char* golden; int engine; char carrier; bool unique; const char* scheduler; bool dint; };

}  // namespace

TEST(EvcInputs, PerEngineWithAndWithoutEckartMirror) {
    // Each engine names its own frequency outputs; engine 5 is no frequency program and names none.
    std::string all;
    for (int engine : {1, 2, 3, 4, 5})
        for (int mirror : {1, 0}) {
            ScopedStudyDir dir;
            TestTransport t;
            four_molecules(t, engine, 'a', false);
            t.eckart_mirror = mirror;
            t.write_evc_inp_files();
            all += krymo::format_string("#### engine %d, mirror %d\n", engine, mirror) + files_text("RE");
        }
    expect_golden(all, "workflow/evc/inputs_per_engine.txt");
}

TEST(EvcStage, ScriptsJobsAndWorkTreePerEngineCarrierAndMolecules) {
    const StageCase cases[] = {
        {"gaussian_plain_pbs", 1, 'a', false, "pbs", false},
        {"gaussian_unique_pbs", 1, 'a', true, "pbs", false},
        {"orca_plain_electron_slurm", 2, 'e', false, "slurm", false},
        {"qchem_unique_hole_local_dint", 3, 'h', true, "local", true},
    };
    for (const StageCase& c : cases) {
        SCOPED_TRACE(c.golden);
        ScopedStudyDir dir;
        TestTransport t;
        four_molecules(t, c.engine, c.carrier, c.unique);
        t.use_scheduler(c.scheduler);
        t.use_evc_dint = c.dint;
        write_stage(t);
        expect_golden(stage_picture(t.get_workdir()), std::string("workflow/evc/") + c.golden + ".txt");
    }
}

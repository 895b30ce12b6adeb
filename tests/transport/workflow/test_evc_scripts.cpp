// The normal-mode stage: inputs, scripts and job scripts per engine and carrier, and the stage run with
// python3 and stub projection tools on a local scheduler.
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

// `text` without the lines that start with `prefix`.
std::string without_lines(const std::string& text, const std::string& prefix) {
    std::string out;
    for (size_t p = 0, e; p < text.size(); p = e + 1) {
        e = text.find('\n', p);
        if (text.compare(p, prefix.size(), prefix) != 0) out += text.substr(p, e + 1 - p);
    }
    return out;
}

struct StageCase { const char* golden; int engine; char carrier; bool unique; const char* scheduler; bool dint; };

// An executable stub on PATH (bin/ of the study).
void stub(const std::string& name, const std::string& body) {
    mkdir("bin", 0750);
    write_file("bin/" + name, "#!/bin/sh\n" + body);
    chmod(("bin/" + name).c_str(), 0755);
}

}  // namespace

TEST(EvcInputs, PerEngineWithAndWithoutEckartMirror) {
    std::string gaussian;
    for (int engine : {1, 2, 3, 4, 5})
        for (int mirror : {1, 0}) {
            SCOPED_TRACE(engine * 10 + mirror);
            ScopedStudyDir dir;
            TestTransport t;
            four_molecules(t, engine, 'a', false);
            t.eckart_mirror = mirror;
            t.write_evc_inp_files();
            if (engine == 1 && mirror == 1) {
                gaussian = files_text("RE");
                expect_golden(gaussian, "workflow/evc/inputs_gaussian.txt");
                continue;
            }
            // The other engines name their own outputs; engine 5 is no frequency program and names none.
            std::string expected = gaussian;
            if (engine == 2) expected = replaced(expected, ".log\"\n", ".hess\"\n");
            if (engine == 3 || engine == 4) expected = replaced(expected, ".log\"\n", ".out\"\n");
            if (engine == 5) expected = without_lines(expected, "  ffreq(");
            if (mirror == 0) expected = without_lines(expected, "  eckart_mirror = .t.");
            EXPECT_EQ(files_text("RE"), expected);
        }
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
        const CommandResult r = run_command(
            python3_exe() + " -m py_compile scr/*.py || echo BAD python; for f in evc/*/*/job_get_NM.*; do "
            "bash -n \"$f\" && sh -n \"$f\" || echo \"BAD $f\"; done");
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.output, "");
    }
}

// prepare_RE.py, run_RE.py and get_RE.py in the order of a study, local jobs calling stub tools that
// write evc.cart.dat (energies in cm-1) and NM.dat in their work directory. A projection output
// without its summary line stops the gather instead of passing on zero energies.
TEST(EvcStage, LocalRunFromCopiedOutputsToDataPieces) {
    for (bool unique : {false, true}) {
        SCOPED_TRACE(unique);
        ScopedStudyDir dir;
        TestTransport t;
        four_molecules(t, 1, 'a', unique);
        t.use_scheduler("local");
        write_stage(t);
        const std::string w = t.get_workdir();
        mkdir("RE", 0750);
        for (int m = 1; m <= 4; ++m)
            for (const char* state : {"neutral", "anion", "cation"})
                for (const char* ext : {"log", "fchk"})
                    write_file(krymo::format_string("RE/re-mol%d-%s.%s", m, state, ext), state);
        stub("qcpost_nmproj.exe",
             "echo \"nmproj $* in $(pwd)\" >> " + w + "/calls.txt\n"
             "case $(pwd) in\n"
             "  */mol1/elec) echo \" Total reorganization energy (cm-1):   100.0   200.0\" > evc.cart.dat ;;\n"
             "  */mol1/hole) printf 'header\\n Total reorganization energy  1.0  2.0  50.0  25.0\\n"
             " Total reorganization energy  9 9\\n' > evc.cart.dat ;;\n"
             "  *) echo \" Total reorganization energy 0 0\" > evc.cart.dat ;;\n"
             "esac\n");
        stub("qcpost_modes.exe", "echo \"modes $* in $(pwd)\" >> " + w + "/calls.txt\necho \"modes of $(pwd)\" > $2\n");
        const std::string env = "PATH=" + w + "/bin:$PATH ";
        for (const char* script : {"prepare_RE.py", "run_RE.py", "get_RE.py"}) {
            const CommandResult r = run_command(env + python3_exe() + " scr/" + script);
            EXPECT_EQ(r.status, 0) << script << "\n" << r.output;
        }
        // Each job ran once, in its work directory, and removed its marker. Energies times 0.1239842
        // (cm-1 to meV): total, then its two parts; the first summary line counts.
        EXPECT_EQ(list_dir("RUN"), std::vector<std::string>{});
        EXPECT_EQ(read_file("evc/mol1/hole/re-mol1-neutral.fchk"), "neutral");
        std::string all = "==> calls\n" + read_file("calls.txt");
        for (const char* f : {"evc/mol1/lambda.dat", "evc/mol3_NM-e.dat"})
            all += std::string("==> ") + f + "\n" + read_file(f);
        all += files_text("data");
        expect_golden(replaced(all, w, "@W@"),
                      unique ? "workflow/evc/local_run_unique.txt" : "workflow/evc/local_run_plain.txt");
        const std::string lambda3 = read_file("data/mol3_lambda-h.dat");
        write_file("evc/mol3/hole/evc.cart.dat", "projection stopped\n");
        const CommandResult r = run_command(python3_exe() + " scr/get_RE.py");
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.output.find("No 'Total reorganization energy' line in " + w + "/evc/mol3/hole/evc.cart.dat\n"),
                  std::string::npos) << r.output;
        EXPECT_EQ(read_file("data/mol3_lambda-h.dat"), lambda3);
    }
}

TEST(EvcStage, UnwritableFilesStopTheRun) {
    ScopedStudyDir dir;
    TestTransport t;
    four_molecules(t, 1, 'a', false);
    rmdir("scr");
    expect_stop([&] { t.write_prepare_evc_files("prepare_RE.py"); }, 255, "",
                "Failed to open output file scr/run_RE.py\n");
    expect_stop([&] { t.write_get_re_py_file("get_RE.py"); }, 255, "", "Failed to open output file scr/get_RE.py\n");
    // A file where the input directory should be.
    write_file("RE", "");
    expect_stop([&] { t.write_evc_inp_files(); }, 255, "", "Failed to open output file RE/evc-e-mol1.inp\n");
    std::remove("RE");
    std::remove("data/mol2_bonds.dat");
    expect_stop([&] { t.write_evc_inp_files(); }, 255, "Failed to open input file \"data/mol2_bonds.dat\"\n");
}

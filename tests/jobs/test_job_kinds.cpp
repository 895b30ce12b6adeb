// Every job kind but Gaussian HL against every scheduler: the PBS text after the directives and
// the local script written out per kind; SLURM and LSF as the PBS text with their own directives,
// submit-directory lines and job id.
#include <gtest/gtest.h>

#include "jobs/job_test_support.h"

using namespace krymo_test;

namespace {

const std::string kStarting = "echo \"Starting job run at `date`\"\n";
const std::string kTail = "rm -f @W@/RUN/running.x\n\necho \"Ending job run at `date`\"\n";
const std::string kLocalQc = "#!/bin/sh\n\nmodule load qcmod\n";
const std::string kShort = kLocalQc + "\n" + kStarting + "\n";
const std::string kShortTail = "cmd-line\n\n\n" + kTail + "\n";

const std::string kOrcaBody = R"(
python @W@/scr/orca_out_check.py @W@/HL/NAME.out
status=$?
if test $status -eq 0; then
    echo "Normal termination of ORCA detected, skip the current ORCA run."
else
    SCRDIR=/scr/krymo-$PBS_JOBID
    if [ ! -d $SCRDIR ]; then
        echo "Scratch directory $SCRDIR created."
        mkdir -p $SCRDIR
    fi

    cp ${DataDir}/NAME.inp $SCRDIR
    cd ${SCRDIR}
    echo "Working directory is ${SCRDIR}"

    qcprog NAME.inp  > NAME.out
    orca_2mkl NAME

    CurrDir=`pwd`
    if [ $DataDir != $CurrDir ]; then
        echo "Copy data back to HL directory..."
        mv $CurrDir/NAME.out $DataDir
        mv $CurrDir/NAME.mkl $DataDir
    fi
fi

python @W@/scr/orca_out_check.py @W@/HL/NAME.out
status=$?
if test $status -ne 0; then
    touch @W@/RUN/ERROR-HL_NAME
fi

)";

// The Q-Chem body is the ORCA one with its own checker, label and run line.
std::string qchem_body() {
    std::string s = kOrcaBody;
    const size_t run = s.find("else\n") + 5;
    s.replace(run, s.find("fi\n\npython") - run, "    qcprog -nt 4 NAME.inp > NAME.out\n\n");
    s = replaced(replaced(s, "orca_out_check", "qchem_out_check"), "ORCA", "Q-Chem");
    return replaced(s, "    touch", "  touch");
}

// The local ORCA body spells a few lines its own way and names its scratch after the job.
std::string local_orca_body() {
    std::string s = kOrcaBody;
    for (const auto& r : {std::make_pair("/krymo-$PBS_JOBID", "/krymo-HL-NAME-$RANDOM"),
                          std::make_pair("cd ${SCRDIR}", "cd $SCRDIR"),
                          std::make_pair("orca_2mkl NAME\n\n", "orca_2mkl NAME\n"),
                          std::make_pair("[ $DataDir != $CurrDir ]", "[ $CurrDir != $DataDir ]"),
                          std::make_pair("mv $CurrDir/", "mv $SCRDIR/"), std::make_pair("    touch", "  touch")})
        s = replaced(s, r.first, r.second);
    return s;
}

// SLURM output line first (hl); pbs_rest from the empty line after the directives to the end;
// pbs_only a line that only the PBS script has; local the whole local script.
struct KindCase {
    const char *kind, *lsf_title;
    bool output_in_dir, hl, pbs_nodelist;
    std::string pbs_rest, pbs_only, local;
};

std::vector<KindCase> kind_cases() {
    const std::string workflow = "\n" + kPbsEchoCd + "\nmodule load mpimod\n\n" + kStarting + "cmd-line\n" + kTail;
    const std::string scr_re = "SCRDIR=/scr/krymo-RE-tag-$PBS_JOBID\n";
    return {
        {"orca_HL", "HL-tag", false, true, true,
         "\nmodule load qcmod\nDataDir=@W@/HL\n\n" + kStarting + kOrcaBody + kTail, "",
         kLocalQc + "DataDir=@W@/HL\n\n" + local_orca_body() + kTail},
        {"qchem_HL", "HL-tag", false, true, true,
         "\nDataDir=@W@/HL\n\n" + kPbsCd + "\nmodule load qcmod\n\n" + kStarting + qchem_body() + kTail, "",
         kLocalQc + "\n" + qchem_body() + kTail},
        {"gaussian_RE", "RE-tag", false, false, true,
         "\nDataDir=@W@/RE\n\n" + kPbsCd + "\nmodule load qcmod\n\n" + kStarting + "cmd-line\n\n" + kTail, "",
         kLocalQc + "\ncmd-line\n\n" + kTail},
        {"orca_RE", "RE-tag", false, false, true,
         "\nmodule load qcmod\nDataDir=@W@/RE\n" + scr_re + "\n" + kStarting + "\ncmd-line\n" + kTail, "",
         kLocalQc + "DataDir=@W@/RE\nSCRDIR=/scr/krymo-RE-tag-$RANDOM\n\n\ncmd-line\n" + kTail},
        {"qchem_RE", "RE-tag", false, false, true,
         "\nDataDir=@W@/RE\n" + scr_re + "\n" + kPbsCd + "\nmodule load qcmod\n\n" + kStarting + "cmd-line\n" + kTail,
         scr_re, kLocalQc + "\ncmd-line\n" + kTail},
        {"RE_mps", "RE-tag", false, false, true,
         "\nDataDir=@W@/RE\n\n" + kStarting + "\ncd ${DataDir}\n\ncmd-line\n" + kTail, "",
         "#!/bin/sh\n\nDataDir=@W@/RE\n\n\ncd ${DataDir}\n\ncmd-line\n" + kTail},
        {"MC", "MC-tag", false, false, true, workflow, "", kLocalQc + "\nhopsim_mc_par.exe\n" + kTail},
        {"calc_mob", "mc-mob-tag", false, false, true, workflow, "", kShort + kShortTail},
        {"ME", "ME-tag", false, false, true, workflow, "", kLocalQc + "\nhopsim_master.exe\n" + kTail},
        {"calc_transint", "Transint-tag", true, false, true,
         "\nmodule load mpimod\n\ncd @W@\ncd dd\necho \"Working directory is `pwd`\"\n\n" + kStarting + "cmd-line\n" +
             kTail,
         "", kShort + "cd dd\n" + kShortTail},
        {"calc_siteEner", "tag", true, false, false, workflow, "", kShort + kShortTail},
        {"calc_getRE", "getRE-tag", false, false, true, workflow, "", kShort + kShortTail},
    };
}

}  // namespace

TEST(JobKinds, EveryKindForEveryScheduler) {
    ScopedStudyDir dir;
    TestJobs j;
    j.all_options();
    j.qc_exe = "qcprog";
    for (const KindCase& c : kind_cases()) {
        SCOPED_TRACE(c.kind);
        const std::string out = std::string(c.output_in_dir ? "dd/" : "") + "stdout-tag";
        for (const std::string s : {"pbs", "slurm", "lsf"}) {
            const std::string rest =
                s == "pbs" || c.pbs_only.empty() ? c.pbs_rest : replaced(c.pbs_rest, c.pbs_only, "");
            const std::string expected =
                batch_directives(s, c.lsf_title, out, c.hl, c.pbs_nodelist) + batch_rest(rest, s);
            EXPECT_EQ(write_kind(j.use(s), c.kind), with_workdir(expected, j.get_workdir())) << s;
        }
        EXPECT_EQ(write_kind(j.use("local"), c.kind), with_workdir(c.local, j.get_workdir()));
    }
}

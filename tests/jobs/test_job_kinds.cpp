// Every job kind against every scheduler: the lines in which a kind differs from the Gaussian HL
// script, written out per kind (PBS and local in full; SLURM and LSF as the PBS text with their
// own directives, submit-directory lines and job id).
#include <gtest/gtest.h>

#include "jobs/job_test_support.h"

using namespace krymo_test;

namespace {

const std::string kName = "NAME", kTag = "tag", kMarker = "RUN/running.x", kCmd = "cmd-line\n", kDir = "dd";

// Calls the entry point of a kind with the texts above (2 nodes, 4 processes); returns the script.
std::string write_kind(TestJobs& j, const std::string& k) {
    bool jobs_dir = true;
    if (k == "gaussian_RE") j.write_gaussian_RE_job("job", 2, 4, kCmd, kTag, kMarker);
    else if (k == "orca_HL") j.write_orca_HL_job("job", 2, 4, kName, kTag, kMarker);
    else if (k == "orca_RE") j.write_orca_RE_job("job", 2, 4, kName, kTag, kMarker, kCmd);
    else if (k == "qchem_HL") j.write_qchem_HL_job("job", 2, 4, kName, kTag, kMarker);
    else if (k == "qchem_RE") j.write_qchem_RE_job("job", 2, 4, kName, kTag, kMarker, kCmd);
    else if (k == "RE_mps") j.write_RE_mps_job("job", 2, 4, kCmd, kTag, kMarker, kCmd);
    else {
        jobs_dir = false;
        if (k == "MC") j.write_MC_job("job", 2, 4, kCmd, kTag, kMarker);
        else if (k == "calc_mob") j.write_calc_mob_job("job", 2, 4, kTag, kMarker, kCmd);
        else if (k == "ME") j.write_ME_job("job", 2, 4, kCmd, kTag, kMarker);
        else if (k == "calc_transint") j.write_calc_transint_job("job", 2, 4, kTag, kMarker, kCmd, kDir);
        else if (k == "calc_siteEner") j.write_calc_siteEner_job("job", 2, 4, kTag, kMarker, kCmd, kDir);
        else if (k == "calc_getRE") j.write_calc_getRE_job("job", 2, 4, kTag, kMarker, kCmd);
        else ADD_FAILURE() << "unknown kind " << k;
    }
    return read_file(std::string(jobs_dir ? "jobs/job." : "job.") + j.get_job_script_ext());
}

const char* const kTail = "rm -f @W@/RUN/running.x\n\necho \"Ending job run at `date`\"\n";
const char* const kPbsCd = "cd ${PBS_O_WORKDIR}\necho \"Working directory is ${PBS_O_WORKDIR}\"\n";
const char* const kPbsEchoCd = "echo \"Working directory is ${PBS_O_WORKDIR}\"\ncd ${PBS_O_WORKDIR}\n";
const char* const kShort = "#!/bin/sh\n\nmodule load qcmod\n\necho \"Starting job run at `date`\"\n\n";
const char* const kShortTail = "cmd-line\n\n\nrm -f @W@/RUN/running.x\n\necho \"Ending job run at `date`\"\n\n";
const char* const kWorkflowBody = "\nmodule load mpimod\n\necho \"Starting job run at `date`\"\ncmd-line\n";

const char* const kQchemBody = R"(
python @W@/scr/qchem_out_check.py @W@/HL/NAME.out
status=$?
if test $status -eq 0; then
    echo "Normal termination of Q-Chem detected, skip the current Q-Chem run."
else
    qcprog -nt 4 NAME.inp > NAME.out

fi

python @W@/scr/qchem_out_check.py @W@/HL/NAME.out
status=$?
if test $status -ne 0; then
  touch @W@/RUN/ERROR-HL_NAME
fi

)";

struct KindCase {
    const char* kind;
    const char* lsf_title;
    bool output_in_dir;
    bool hl;              // SLURM output line first
    bool pbs_nodelist;
    std::string pbs_rest;   // from the empty line after the directives to the end
    std::string pbs_only;   // a line only the PBS script has
    std::string local;      // the whole local script
};

std::vector<KindCase> kind_cases() {
    const std::string starting = "echo \"Starting job run at `date`\"\n";
    const std::string workflow = std::string("\n") + kPbsEchoCd + kWorkflowBody + kTail;
    const std::string scr_re = "SCRDIR=/scr/krymo-RE-tag-$PBS_JOBID\n";
    return {
        {"gaussian_RE", "RE-tag", false, false, true,
         std::string("\nDataDir=@W@/RE\n\n") + kPbsCd + "\nmodule load qcmod\n\n" + starting + "cmd-line\n\n" + kTail, "",
         std::string("#!/bin/sh\n\nmodule load qcmod\n\ncmd-line\n\n") + kTail},
        {"orca_RE", "RE-tag", false, false, true,
         "\nmodule load qcmod\nDataDir=@W@/RE\n" + scr_re + "\n" + starting + "\ncmd-line\n" + kTail, "",
         std::string("#!/bin/sh\n\nmodule load qcmod\nDataDir=@W@/RE\nSCRDIR=/scr/krymo-RE-tag-$RANDOM\n\n\ncmd-line\n") +
             kTail},
        {"qchem_HL", "HL-tag", false, true, true,
         std::string("\nDataDir=@W@/HL\n\n") + kPbsCd + "\nmodule load qcmod\n\n" + starting + kQchemBody + kTail, "",
         std::string("#!/bin/sh\n\nmodule load qcmod\n\n") + kQchemBody + kTail},
        {"qchem_RE", "RE-tag", false, false, true,
         "\nDataDir=@W@/RE\n" + scr_re + "\n" + kPbsCd + "\nmodule load qcmod\n\n" + starting + "cmd-line\n" + kTail,
         scr_re, std::string("#!/bin/sh\n\nmodule load qcmod\n\ncmd-line\n") + kTail},
        {"RE_mps", "RE-tag", false, false, true,
         "\nDataDir=@W@/RE\n\n" + starting + "\ncd ${DataDir}\n\ncmd-line\n" + kTail, "",
         std::string("#!/bin/sh\n\nDataDir=@W@/RE\n\n\ncd ${DataDir}\n\ncmd-line\n") + kTail},
        {"MC", "MC-tag", false, false, true, workflow, "",
         std::string("#!/bin/sh\n\nmodule load qcmod\n\nhopsim_mc_par.exe\n") + kTail},
        {"calc_mob", "mc-mob-tag", false, false, true, workflow, "", std::string(kShort) + kShortTail},
        {"ME", "ME-tag", false, false, true, workflow, "",
         std::string("#!/bin/sh\n\nmodule load qcmod\n\nhopsim_master.exe\n") + kTail},
        {"calc_transint", "Transint-tag", true, false, true,
         "\nmodule load mpimod\n\ncd @W@\ncd dd\necho \"Working directory is `pwd`\"\n\n" + starting + "cmd-line\n" +
             kTail,
         "", std::string(kShort) + "cd dd\n" + kShortTail},
        {"calc_siteEner", "tag", true, false, false, workflow, "", std::string(kShort) + kShortTail},
        {"calc_getRE", "getRE-tag", false, false, true, workflow, "", std::string(kShort) + kShortTail},
    };
}

void replace_all(std::string& s, const std::string& from, const std::string& to) {
    for (size_t p = s.find(from); p != std::string::npos; p = s.find(from, p + to.size())) s.replace(p, from.size(), to);
}

// The PBS text as another batch scheduler writes it: its submit-directory lines (echo first) and job id.
std::string batch_rest(std::string rest, const KindCase& c, const std::string& echo_cd, const std::string& job_id) {
    if (!c.pbs_only.empty()) replace_all(rest, c.pbs_only, "");
    replace_all(rest, kPbsCd, echo_cd);
    replace_all(rest, kPbsEchoCd, echo_cd);
    replace_all(rest, "$PBS_JOBID", job_id);
    return rest;
}

TEST(JobKinds, EveryKindForEveryScheduler) {
    ScopedStudyDir dir;
    TestJobs j;
    j.all_options();
    j.qc_exe = "qcprog";
    const std::string& w = j.get_workdir();
    for (const KindCase& c : kind_cases()) {
        SCOPED_TRACE(c.kind);
        const std::string out = std::string(c.output_in_dir ? "dd/" : "") + "stdout-tag";

        const std::string pbs = std::string("#PBS -S /bin/bash\n#PBS -l walltime=1000:00:00\n#PBS -l nodes=2:ppn=4\n") +
                                "#PBS -q q1\n#PBS -o " + out + "\n#PBS -j oe\n" +
                                (c.pbs_nodelist ? "#PBS -l nodes=n01,n02\n" : "") + c.pbs_rest;
        EXPECT_EQ(write_kind(j.use("pbs"), c.kind), with_workdir(pbs, w));

        const std::string nodes = "#SBATCH --nodes=2 --ntasks-per-node=4\n#SBATCH -p q1\n";
        const std::string output = "#SBATCH --output=" + out + "\n";
        const std::string slurm =
            "#!/bin/bash\n\n#SBATCH --time=0-1000:00:00\n" + (c.hl ? output + nodes : nodes + output) +
            "#SBATCH --nodelist=n01,n02\n" +
            batch_rest(c.pbs_rest, c, "echo \"Working directory is $SLURM_SUBMIT_DIR\"\ncd ${SLURM_SUBMIT_DIR}\n",
                       "$SLURM_JOB_ID");
        EXPECT_EQ(write_kind(j.use("slurm"), c.kind), with_workdir(slurm, w));

        const std::string lsf = std::string("#BSUB -W 1000:00\n#BSUB -J ") + c.lsf_title + "\n#BSUB -oo " + out +
                                "\n#BSUB -n 8\n#BSUB -R 'span[ptile=4]'\n#BSUB -q q1\n#BSUB -m 'n01,n02'\n" +
                                batch_rest(c.pbs_rest, c, "echo \"Working directory is ${LS_SUBCWD}\"\ncd ${LS_SUBCWD}\n",
                                           "$LSB_JOBID");
        EXPECT_EQ(write_kind(j.use("lsf"), c.kind), with_workdir(lsf, w));

        EXPECT_EQ(write_kind(j.use("local"), c.kind), with_workdir(c.local, w));
    }
}

const char* const kOrcaPbs = R"(#PBS -S /bin/bash
#PBS -l walltime=1000:00:00
#PBS -l nodes=2:ppn=4
#PBS -q q1
#PBS -o stdout-tag
#PBS -j oe
#PBS -l nodes=n01,n02

module load qcmod
DataDir=@W@/HL

echo "Starting job run at `date`"

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

    orca NAME.inp  > NAME.out
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

rm -f @W@/RUN/running.x

echo "Ending job run at `date`"
)";

// The local ORCA script spells a few lines of the body its own way.
const char* const kOrcaLocal = R"(#!/bin/sh

module load qcmod
DataDir=@W@/HL


python @W@/scr/orca_out_check.py @W@/HL/NAME.out
status=$?
if test $status -eq 0; then
    echo "Normal termination of ORCA detected, skip the current ORCA run."
else
    SCRDIR=/scr/krymo-HL-NAME-$RANDOM
    if [ ! -d $SCRDIR ]; then
        echo "Scratch directory $SCRDIR created."
        mkdir -p $SCRDIR
    fi

    cp ${DataDir}/NAME.inp $SCRDIR
    cd $SCRDIR
    echo "Working directory is ${SCRDIR}"

    orca NAME.inp  > NAME.out
    orca_2mkl NAME
    CurrDir=`pwd`
    if [ $CurrDir != $DataDir ]; then
        echo "Copy data back to HL directory..."
        mv $SCRDIR/NAME.out $DataDir
        mv $SCRDIR/NAME.mkl $DataDir
    fi
fi

python @W@/scr/orca_out_check.py @W@/HL/NAME.out
status=$?
if test $status -ne 0; then
  touch @W@/RUN/ERROR-HL_NAME
fi

rm -f @W@/RUN/running.x

echo "Ending job run at `date`"
)";

TEST(JobKinds, OrcaHLRunsInScratchForEveryScheduler) {
    ScopedStudyDir dir;
    TestJobs j;
    j.all_options();
    j.qc_exe = "orca";
    const std::string& w = j.get_workdir();
    EXPECT_EQ(write_kind(j.use("pbs"), "orca_HL"), with_workdir(kOrcaPbs, w));
    EXPECT_EQ(write_kind(j.use("local"), "orca_HL"), with_workdir(kOrcaLocal, w));
    // Batch schedulers differ in directives (checked with the Gaussian script) and in the scratch name.
    const std::string slurm = write_kind(j.use("slurm"), "orca_HL");
    EXPECT_NE(slurm.find("\n\nmodule load qcmod\nDataDir=" + w + "/HL\n\necho \"Starting"), std::string::npos);
    EXPECT_NE(slurm.find("    SCRDIR=/scr/krymo-HL-$SLURM_JOB_ID\n    if ["), std::string::npos);
    EXPECT_EQ(slurm.find("SLURM_SUBMIT_DIR"), std::string::npos);
    const std::string lsf = write_kind(j.use("lsf"), "orca_HL");
    EXPECT_NE(lsf.find("    SCRDIR=/scr/krymo-HL-$LSB_JOBID\n    if ["), std::string::npos);
    EXPECT_EQ(lsf.find("LS_SUBCWD"), std::string::npos);
}

TEST(JobKinds, ACommandWithoutLineEndStillEndsItsLine) {
    ScopedStudyDir dir;
    TestJobs j;
    j.write_calc_mob_job("get_mob", 1, 8, "mob", "RUN/running.m", "hopsim_mobility.exe");
    EXPECT_NE(read_file("get_mob.pbs").find("\nhopsim_mobility.exe\nrm -f "), std::string::npos);
    j.use("local").write_calc_mob_job("get_mob", 1, 8, "mob", "RUN/running.m", "hopsim_mobility.exe");
    EXPECT_NE(read_file("get_mob.local").find("\nhopsim_mobility.exe\n\nrm -f "), std::string::npos);
}

}  // namespace

// The fixed scripts of the scripts directory: one output checker per quantum-chemistry program and the
// Q-Chem checkpoint renamer. A checker takes the output path as its only argument and ends with status 0
// when the file exists and shows a normal end, 1 otherwise; it prints nothing, so the job script's own
// messages stay the only ones in the job output. The status lines are kept as comments for debugging.
#include "transport/script_file.h"
#include "transport/transport.h"

namespace krymo {

namespace {

struct FixedScript {
    const char* file;
    const char* const* lines;
    int count;
};

// Gaussian prints its termination line last; a log that goes on after it belongs to a later link
// that did not finish, so only the last line counts.
const char* const gaussian_log_check_py[] = {
    "#!/usr/bin/env python",
    "",
    "import os,sys",
    "",
    "if len(sys.argv) == 1:",
    "    sys.exit(1)",
    "",
    "Input=sys.argv[1]",
    "",
    "GauNormEndStr=' Normal termination of Gaussian'",
    "",
    "if os.path.isfile(Input):",
    "    with open(Input) as f:",
    "        lines = f.readlines()",
    "        last = lines[-1]",
    "        if last.find(GauNormEndStr) != -1:",
    "            #sys.stdout.write(\"Normal termination of Gaussian detected.\\n\")",
    "            sys.exit(0)",
    "        else:",
    "            #sys.stdout.write(\"Abnormal termination of Gaussian with '%s'!\\n\" % Input)",
    "            sys.exit(1)",
    "else:",
    "    #sys.stdout.write(\"Gaussian log file '%s' not found!\\n\" % Input)",
    "    sys.exit(1)",
    "",
};

const char* const orca_out_check_py[] = {
    "#!/usr/bin/env python",
    "",
    "import os,sys",
    "",
    "if len(sys.argv) == 1:",
    "    sys.exit(1)",
    "",
    "Input=sys.argv[1]",
    "",
    "if os.path.isfile(Input):",
    "    if 'ORCA TERMINATED NORMALLY' in open(Input).read():",
    "        #sys.stdout.write(\"Normal termination of ORCA detected.\\n\")",
    "        sys.exit(0)",
    "    else:",
    "        #sys.stdout.write(\"Abnormal termination of ORCA with %s!\\n\" % Input)",
    "        sys.exit(1)",
    "else:",
    "    #sys.stdout.write(\"ORCA out file %s not found!\\n\" % Input)",
    "    sys.exit(1)",
    "",
};

const char* const qchem_out_check_py[] = {
    "#!/usr/bin/env python",
    "",
    "import os,sys",
    "",
    "if len(sys.argv) == 1:",
    "    sys.exit(1)",
    "",
    "Input=sys.argv[1]",
    "",
    "if os.path.isfile(Input):",
    "    if 'Have a nice day.' in open(Input).read():",
    "        #sys.stdout.write(\"Normal termination of Q-Chem detected.\\n\")",
    "        sys.exit(0)",
    "    else:",
    "        #sys.stdout.write(\"Abnormal termination of Q-Chem with %s!\\n\" % Input)",
    "        sys.exit(1)",
    "else:",
    "    #sys.stdout.write(\"Q-Chem out file %s not found!\\n\" % Input)",
    "    sys.exit(1)",
    "",
};

// A stale lower-case file is replaced, so the later tools always read the newest checkpoint.
const char* const qchem_fchk_ext_lowercase_py[] = {
    "#!/usr/bin/env python",
    "",
    "import os",
    "import shutil",
    "import sys",
    "",
    "directory = sys.argv[1]",
    "",
    "for file in [f for f in os.listdir(directory) if f.endswith('.FChk')]:",
    "    newname = file[:file.rfind('.')]+'.fchk'",
    "",
    "    if os.path.exists(directory+'/'+newname):",
    "        os.remove(directory+'/'+newname)",
    "",
    "    shutil.move(directory+'/'+file, directory+'/'+newname)",
    "",
};

template <int N>
constexpr FixedScript fixed(const char* file, const char* const (&lines)[N]) {
    return {file, lines, N};
}

void write_fixed_script(const std::string& dir, const FixedScript& s) {
    ScriptFile out(dir + "/" + s.file);
    out.lines(s.lines, s.count);
    out.finish();
}

}  // namespace

void Transport::write_gaussian_log_check_py_file() {
    write_fixed_script(scr_dir, fixed("gaussian_log_check.py", gaussian_log_check_py));
}

void Transport::write_orca_out_check_py_file() {
    write_fixed_script(scr_dir, fixed("orca_out_check.py", orca_out_check_py));
}

void Transport::write_qchem_out_check_py_file() {
    write_fixed_script(scr_dir, fixed("qchem_out_check.py", qchem_out_check_py));
}

void Transport::write_qchem_fchk_ext_lowercase_py_file() {
    write_fixed_script(scr_dir, fixed("qchem_fchk_ext_lowercase.py", qchem_fchk_ext_lowercase_py));
}

}  // namespace krymo

// The fixed scripts of the scripts directory: one output checker per quantum-chemistry program and the
// Q-Chem checkpoint renamer. A checker takes the output path as its only argument and ends with status 0
// when the file exists and shows a normal end, 1 otherwise; it prints nothing, so the job script's own
// messages stay the only ones in the job output. The status lines are kept as comments for debugging.
#include <iterator>

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

// ORCA, Q-Chem and psi4 print their end marker anywhere near the end of the output; @MARK@ is that
// marker and @PROG@ the program's name.
const char* const marker_out_check_py[] = {
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
    "    if '@MARK@' in open(Input).read():",
    "        #sys.stdout.write(\"Normal termination of @PROG@ detected.\\n\")",
    "        sys.exit(0)",
    "    else:",
    "        #sys.stdout.write(\"Abnormal termination of @PROG@ with %s!\\n\" % Input)",
    "        sys.exit(1)",
    "else:",
    "    #sys.stdout.write(\"@PROG@ out file %s not found!\\n\" % Input)",
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

void write_marker_checker(const std::string& dir, const char* file, const char* marker, const char* program) {
    ScriptFile out(dir + "/" + file);
    out.lines(marker_out_check_py, static_cast<int>(std::size(marker_out_check_py)),
              {{"@MARK@", marker}, {"@PROG@", program}});
    out.finish();
}

}  // namespace

void Transport::write_gaussian_log_check_py_file() {
    write_fixed_script(scr_dir, fixed("gaussian_log_check.py", gaussian_log_check_py));
}

void Transport::write_orca_out_check_py_file() {
    write_marker_checker(scr_dir, "orca_out_check.py", engine_row(Engine::Orca).normal_end, "ORCA");
}

void Transport::write_qchem_out_check_py_file() {
    write_marker_checker(scr_dir, "qchem_out_check.py", engine_row(Engine::Qchem).normal_end, "Q-Chem");
}

void Transport::write_psi4_out_check_py_file() {
    write_marker_checker(scr_dir, "psi4_out_check.py", engine_row(Engine::Psi4).normal_end, "psi4");
}

void Transport::write_qchem_fchk_ext_lowercase_py_file() {
    write_fixed_script(scr_dir, fixed("qchem_fchk_ext_lowercase.py", qchem_fchk_ext_lowercase_py));
}

}  // namespace krymo

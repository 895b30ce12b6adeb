// The fixed scripts of the scripts directory: one output checker per quantum-chemistry program, the
// Q-Chem checkpoint renamer and the Q-Chem four-point geometry step. A checker takes the output path
// as its only argument and ends with status 0 when the file exists and shows a normal end, 1
// otherwise; it prints nothing, so the job script's own messages stay the only ones in the job output. The status lines are kept as comments for debugging.
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

// A Q-Chem four-point input is written with the starting atoms; before its run this puts in the
// atoms of the other state's optimised geometry (the table after "OPTIMIZATION CONVERGED"), keeping
// the charge and multiplicity line. The elements must match in order; on any fault the input is left
// as it was and the status is 1, so the job does not run Q-Chem on the starting geometry.
const char* const qchem_opt_geometry_py[] = {
    "#!/usr/bin/env python",
    "",
    "import os",
    "import sys",
    "",
    "def fail(what):",
    "    sys.stdout.write('qchem_opt_geometry.py: %s\\n' % what)",
    "    sys.exit(1)",
    "",
    "if len(sys.argv) != 3:",
    "    fail('usage: qchem_opt_geometry.py OPTIMISATION.out FOUR_POINT.inp')",
    "source, target = sys.argv[1], sys.argv[2]",
    "",
    "try:",
    "    out = open(source).read().splitlines()",
    "    inp = open(target).read().splitlines()",
    "except IOError as e:",
    "    fail('%s: cannot read it (%s)' % (e.filename, e.strerror))",
    "",
    "done = [i for i, line in enumerate(out) if 'OPTIMIZATION CONVERGED' in line]",
    "if not done:",
    "    fail('%s: no \"OPTIMIZATION CONVERGED\": the optimisation did not end' % source)",
    "i = done[-1]",
    "while i < len(out) and 'Coordinates (Angstroms)' not in out[i]:",
    "    i += 1",
    "i += 1",
    "if i < len(out) and 'ATOM' in out[i]:",
    "    i += 1",
    "atoms = []",
    "while i < len(out):",
    "    w = out[i].split()",
    "    if len(w) != 5 or not w[0].isdigit():",
    "        break",
    "    try:",
    "        xyz = [float(v) for v in w[2:]]",
    "    except ValueError:",
    "        fail('%s, line %d: expected \"index element x y z\", found \"%s\"' % (source, i + 1, out[i].strip()))",
    "    atoms.append((w[1], xyz))",
    "    i += 1",
    "if not atoms:",
    "    fail('%s: no coordinate table after \"OPTIMIZATION CONVERGED\"' % source)",
    "",
    "begin = [k for k, line in enumerate(inp) if line.strip().lower() == '$molecule']",
    "end = [k for k, line in enumerate(inp) if line.strip().lower() == '$end' and begin and k > begin[0]]",
    "if not begin or not end:",
    "    fail('%s: no $molecule ... $end block' % target)",
    "old = [line.split()[0] for line in inp[begin[0] + 2:end[0]] if line.strip()]",
    "new = [a[0] for a in atoms]",
    "if [e.lower() for e in old] != [e.lower() for e in new]:",
    "    fail('%s holds %d atoms (%s), the optimised geometry of %s %d (%s): not the same molecule'",
    "         % (target, len(old), ' '.join(old), source, len(new), ' '.join(new)))",
    "",
    "rows = ['%-2s %15.10f %15.10f %15.10f' % (e, x[0], x[1], x[2]) for e, x in atoms]",
    "text = '\\n'.join(inp[:begin[0] + 2] + rows + inp[end[0]:]) + '\\n'",
    "with open(target + '.tmp', 'w') as f:",
    "    f.write(text)",
    "os.rename(target + '.tmp', target)",
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

void Transport::write_qchem_opt_geometry_py_file() {
    write_fixed_script(scr_dir, fixed("qchem_opt_geometry.py", qchem_opt_geometry_py));
}

void Transport::write_qchem_fchk_ext_lowercase_py_file() {
    write_fixed_script(scr_dir, fixed("qchem_fchk_ext_lowercase.py", qchem_fchk_ext_lowercase_py));
}

}  // namespace krymo

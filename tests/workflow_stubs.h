// Stub programs for running the generated workflow of a study: one shell script stands in for every
// quantum-chemistry and simulation program.
#pragma once

#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "test_support.h"

namespace krymo_test {

// One program for every outside tool: it records its call and writes what the later scripts read.
const char* const kStub = R"STUB(#!/bin/sh
name=$(basename "$0")
echo "$name $* @ $(pwd)" >> "$KRYMO_STUB_LOG"
# KRYMO_STUB_FAIL names a call ("g09 2mol-5.com", "hopsim_rates.exe") that fails as a real one would.
if [ -n "$KRYMO_STUB_FAIL" ] && { [ "$name $*" = "$KRYMO_STUB_FAIL" ] || [ "$name" = "$KRYMO_STUB_FAIL" ]; }; then
    case "$name" in g09|g16) printf ' Error termination via Lnk1e\n' > "${1%.com}.log" ;; esac
    exit 1
fi
# Energies (hartree) that the four-point tool reads: the single points lie above the optimised states.
energy() {
    case "$1" in *_nC) echo -99.999 ;; *_eN) echo -99.998 ;; *_hN) echo -99.997 ;; *) echo -100.000 ;; esac
}
case "$name" in
g09|g16)
    base=${1%.com}
    # A log of that name in KRYMO_STUB_DATA (energies, charges) stands for the job's own.
    if [ -n "$KRYMO_STUB_DATA" ] && [ -f "$KRYMO_STUB_DATA/$base.log" ]; then cp "$KRYMO_STUB_DATA/$base.log" .
    else
        printf ' Entering Gaussian System\n SCF Done:  E(RB3LYP) =  %s     A.U. after    1 cycles\n' "$(energy "$base")" > "$base.log"
        printf ' Normal termination of Gaussian 09 at stub.\n' >> "$base.log"
    fi
    : > "$base.chk" ;;
formchk) : > "${1%.chk}.fchk" ;;
orca)
    # Runs in its scratch folder; a four-point input reads the geometry file an optimisation left there.
    base=${1%.inp}
    geometry=$(sed -n 's/^\*xyzfile [-0-9]* [0-9]* //p' "$1")
    if [ -n "$geometry" ] && [ ! -f "$geometry" ]; then echo "ORCA: cannot open $geometry"; exit 1; fi
    if grep -q '^! opt' "$1"; then : > "$base.hess"; printf '1\nstub\nC 0.0 0.0 0.0\n' > "$base.xyz"; fi
    printf '* O   R   C   A *\nFINAL SINGLE POINT ENERGY  %s\n****ORCA TERMINATED NORMALLY****\n' "$(energy "$base")" ;;
orca_2mkl) : > "$1.mkl" ;;
qchem)
    base=${3%.inp}
    : > "$base.FChk"
    echo "Welcome to Q-Chem"
    # An optimisation ends with the table of its atoms, here those of the input moved 0.25 A along x.
    if grep -q '^JOBTYPE *opt' "$3"; then
        printf ' **  OPTIMIZATION CONVERGED  **\n\n  Coordinates (Angstroms)\n     ATOM   X   Y   Z\n'
        awk '/^\$end/ { exit } n++ >= 2 { printf "%6d  %s %15.10f %15.10f %15.10f\n", n - 2, $1, $2 + 0.25, $3, $4 }' "$3"
        echo
    fi
    echo " Total energy in the final basis set =    $(energy "$base")"
    echo " Thank you very much for using Q-Chem.  Have a nice day." ;;
qcpost_coupling.exe)
    if [ -n "$KRYMO_STUB_DATA" ]; then cp "$KRYMO_STUB_DATA/VL.dat" "$KRYMO_STUB_DATA/VH.dat" .
    else echo "coupling" > VL.dat; echo "coupling" > VH.dat; fi ;;
qcpost_nmproj.exe) echo " Total reorganization energy (cm-1):  100.0  200.0" > evc.cart.dat ;;
qcpost_modes.exe)
    if [ -n "$KRYMO_STUB_DATA" ]; then { echo "# modes of $(pwd)"; cat "$KRYMO_STUB_DATA/NM.dat"; } > "$2"
    else echo "modes of $(pwd)" > "$2"; fi ;;
hopsim_rates.exe) : > krymo-marcus.dat ;;
hopsim_mc.exe|hopsim_mc_par.exe) : > traj-0-0.dat ;;
hopsim_master.exe|hopsim_mobility.exe|hopsim_mobility_par.exe)
    printf 'mu_a = 1.25e-01\nmu_b = 2.5e-01\nmu_c = 5e-01\nmu_av = 2.9e-01\n' > exp_data.dat ;;
esac
exit 0
)STUB";

const char* const kTools[] = {"g09", "g16", "formchk", "orca", "orca_2mkl", "qchem", "qcpost_coupling.exe", "qcpost_nmproj.exe",
                              "qcpost_modes.exe", "qcpost_lambda4p.exe", "qcpost_log_multipoles.exe",
                              "hopsim_rates.exe", "hopsim_mc.exe", "hopsim_mc_par.exe", "hopsim_mobility.exe",
                              "hopsim_mobility_par.exe", "hopsim_master.exe"};

// Puts the stubs and a "python" into ./stubs; `real` names tools that are
// linked to the given programs instead of the stub. With KRYMO_STUB_DATA set, the coupling and
// normal-mode stubs hand on the VL.dat, VH.dat and NM.dat found there, and the Gaussian stub the logs.
inline bool install_stubs(const std::vector<std::pair<std::string, std::string>>& real = {}) {
    if (std::system("mkdir -p stubs") != 0) return false;
    write_file("stubs/stub", kStub);
    std::string links = "cd stubs && chmod +x stub && ln -sf " + python3_exe() + " python";
    for (const char* t : kTools) links += std::string(" && ln -sf stub ") + t;
    for (const auto& [name, path] : real) links += " && ln -sf '" + path + "' " + name;
    return std::system(links.c_str()) == 0;
}

// Calls of each tool, by its first argument.
inline std::map<std::string, int> calls_of(const std::string& log, const std::string& tool) {
    std::map<std::string, int> n;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);) {
        std::istringstream w(line);
        std::string name, first, arg;
        w >> name;
        if (name != tool) continue;
        while (w >> arg && arg != "@")
            if (arg.find('.') != std::string::npos) first = arg;
        ++n[first];
    }
    return n;
}

}  // namespace krymo_test

// The files of a mobility run folder: one reader and one writer per format, shared by the hopping
// tools and by the tests that make stub data. docs/formats.md describes every format with an example.
//
// Units throughout: energies meV, frequencies cm^-1, distances Angstrom, rates 1/s, times ns,
// temperatures K, fields V/m (= eV/m for a unit charge). Readers stop through the fatal facility
// naming the file and line of anything missing or malformed (status 1).
#pragma once

#include <string>
#include <vector>

namespace krymo {
namespace hopsim {

// What the tools accept. Beyond these an input is broken, and the arithmetic would overflow or
// allocate without bound; docs/formats.md states them.
namespace limits {
constexpr double kEnergyMev = 1e4;        // |J|, its disorder, reorganization and site energies (10 eV)
constexpr double kFrequencyCm = 1e4;      // mode wavenumbers
constexpr double kHuangRhys = 100.0;
constexpr double kTemperature = 1e4;      // K
constexpr double kMaxtFs = 1e6;           // upper limit of the quantum rate's time integral
constexpr double kField = 1e9;            // V/m along each of a, b, c
constexpr double kCellMin = 1.0, kCellMax = 1e5;  // lattice vector lengths (Angstrom), as krymo_prepare
constexpr double kPairDistance = 1e3;     // |dr| of a pair (Angstrom)
constexpr int kPairCell = 1000;           // |na|, |nb|, |nc| of a pair
constexpr double kRate = 1e30;            // 1/s
constexpr double kDisplacement = 1e12;    // Angstrom, a snapshot of a trajectory
constexpr int kFilmCells = 1000000;
constexpr int kSnapshotsPerTrajectory = 1000000;
constexpr long long kSnapshots = 20000000;   // stored per call: trajectories times snapshots (0.5 GB)
constexpr long long kNetworkSize = 10000000; // sites, and hops, of the Monte Carlo network
constexpr int kMasterSites = 2000;           // the master equation holds dense matrices of sites^2
constexpr long long kSparseMasterSize = 10000000; // sites, and hops, of a disordered supercell's master equation
constexpr double kHopsPerTrajectory = 1e12;  // tsimu times the fastest escape rate of a site
}  // namespace limits

// A directed neighbour pair as neighbor.dat lists it: root and neighbour molecule (1-based) and the
// cell of the neighbour's image.
struct PairKey {
    int root = 0;
    int nei = 0;
    int cell[3] = {0, 0, 0};
};
bool operator==(const PairKey& a, const PairKey& b);
inline bool operator!=(const PairKey& a, const PairKey& b) { return !(a == b); }

// --- one value per pair, in neighbor.dat order: VL.dat, VH.dat (transfer integral), VL-dyn.dat,
// VH-dyn.dat (its standard deviation), reorg_lambda_outer-e/h.dat (outer-sphere energy). Rows
// "root nei na nb nc value"; with `count_line` the rows follow a line holding the molecule count
// (the lumped per-molecule files). The rows must name the pairs of `expected` in its order. ---
std::vector<double> read_pair_values(const std::string& path, const std::vector<PairKey>& expected, bool count_line);
void write_pair_values(const std::string& path, const std::vector<PairKey>& keys, const std::vector<double>& values,
                       const std::string& what, bool count_line, int nmols);

// --- one value per unit-cell molecule: EL.dat, EH.dat (the carrier's site energy), LUMO-dyn.dat,
// HOMO-dyn.dat (standard deviation of the level). A count line, then rows "molecule value". ---
std::vector<double> read_site_values(const std::string& path, int nmols);
void write_site_values(const std::string& path, const std::vector<double>& values, const std::string& what);

// --- normal modes: NM-e.dat, NM-h.dat. A count line, then per molecule a block: "nmodes lambda"
// (total internal reorganization energy, meV) and nmodes rows "frequency huang_rhys". ---
struct Mode {
    double freq_cm = 0.0;  // wavenumber, cm^-1
    double huang_rhys = 0.0;
};
struct MoleculeModes {
    double lambda_mev = 0.0;  // total internal reorganization energy of the molecule
    std::vector<Mode> modes;
    // Reorganization energy the modes carry: sum of S * h c nu (meV).
    double modes_lambda_mev() const;
};
std::vector<MoleculeModes> read_normal_modes(const std::string& path, int nmols);
void write_normal_modes(const std::string& path, const std::vector<MoleculeModes>& molecules);
// The block of one molecule, as the per-molecule NM.dat pieces hold it before lumping.
std::string mode_block_text(const MoleculeModes& m);
// First line of a normal-mode file written from the four-point energies when the study has no
// normal-mode data (blocks without modes); the normal-mode stage replaces such a file.
extern const char kFourPointModesMark[];
bool holds_four_point_lambda(const std::string& path);

// --- the rate file (krymo_dat_file, default krymo-<ratetype>.dat): what hopsim_rates computed,
// self-contained so that the simulators need no other data file. ---
struct RatePair {
    PairKey key;
    double dr[3] = {0, 0, 0};   // neighbour image centre minus root centre (Cartesian, Angstrom)
    double j_mev = 0.0;         // transfer integral
    double sigma_j_mev = 0.0;   // its dynamic-disorder standard deviation
    double lambda_in_mev = 0.0; // internal reorganization energy of the pair (mean of both molecules)
    double lambda_out_mev = 0.0;
    double sigma_e_mev = 0.0;   // dynamic disorder of the energy difference
    double dg0_mev = 0.0;       // site energy difference E_nei - E_root, without field
    double rate = 0.0;          // hopping rate at the file's field (1/s)
};
struct RateTable {
    char carrier = 'e';          // 'e' electron (charge -1), 'h' hole (charge +1)
    std::string ratetype = "marcus";
    int sta = 1;                 // short-time approximation of the quantum rate
    double temperature = 300.0;  // K
    double maxt_fs = 10000.0;    // upper limit of the quantum rate's time integral
    double broadening_mev = 10.0; // least Gaussian width of the quantum rate's energy gap
    double field[3] = {0, 0, 0}; // V/m along the unit vectors of a, b, c
    double cell[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};  // rows: lattice vectors a, b, c (Angstrom)
    int nmols = 0;
    std::vector<MoleculeModes> modes;  // per unit-cell molecule
    std::vector<RatePair> pairs;
};
RateTable read_rate_table(const std::string& path);
void write_rate_table(const std::string& path, const RateTable& table);

// --- kinetic Monte Carlo trajectories: traj-<first>-<last>.dat, one file per simulator call. ---
struct TrajectoryHeader {
    char carrier = 'e';
    double temperature = 300.0;
    double field[3] = {0, 0, 0};  // as in the rate file
    double cell[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
    int film_dir = -1;            // thin film normal (0-2), -1 for the periodic crystal
    int film_ncell = 0;
    // Static disorder of the run (the line "disorder <sigma meV> <cells> <seed>", written only when
    // sigma > 0): trajectories of other energies are another run.
    double disorder_sigma_mev = 0.0;
    int disorder_cells = 0;
    long long disorder_seed = 0;
    double tsnap_ns = 0.0;
    int nsnap = 0;                // snapshots per trajectory, the first at t = 0
};
bool same_run(const TrajectoryHeader& a, const TrajectoryHeader& b);
struct Trajectory {
    long long id = 0;
    long long hops = 0;
    std::vector<double> r;  // 3 per snapshot: displacement from the start (Cartesian, Angstrom)
};
struct TrajectoryFile {
    TrajectoryHeader header;
    std::vector<Trajectory> trajectories;
};
TrajectoryFile read_trajectories(const std::string& path);
void write_trajectories(const std::string& path, const TrajectoryHeader& header, const std::vector<Trajectory>& trajs);
std::string trajectory_file_name(long long first, long long count);
// The trajectory files of a folder, sorted by name.
std::vector<std::string> list_trajectory_files(const std::string& dir);

// --- exp_data.dat: mobility along a, b, c and the average in the third field of lines 1-4
// (cm^2/Vs), then the statistical error when known, then comment lines. ---
struct ExpData {
    double mu[4] = {0, 0, 0, 0};
    double err[4] = {0, 0, 0, 0};
    bool has_err = false;
    std::vector<std::string> notes;  // written after the four lines as "# note"
};
ExpData read_exp_data(const std::string& path);
void write_exp_data(const std::string& path, const ExpData& data);

// The cell rows must be lattice vectors of kCellMin to kCellMax Angstrom that span a cell; the
// message names the problem, empty when the cell is fine.
std::string cell_problem(const double cell[3][3]);

// --- small run-folder files ---
// charge.inp: "e" or "h".
char read_charge_inp(const std::string& path);
// temp.inp: "<T> K"; false when the file does not exist.
bool read_temp_inp(const std::string& path, double& kelvin);

}  // namespace hopsim
}  // namespace krymo

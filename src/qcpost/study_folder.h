// The study as the data-folder tools see it: krymo.inp read where it lies (its paths are relative to
// it), the crystal and the neighbour pairs rebuilt as the hopping tools do.
#pragma once

#include <string>
#include <vector>

#include "hopsim/study.h"

namespace krymo {
namespace qcpost {

// The site-energy jobs start their tools in the study folder (the job changes to the submit
// directory, not to data/): there, with krymo.inp beside a data/ holding the study record, the tool
// moves into data/ itself. Anywhere else it stays.
void enter_study_data_folder();

class StudyFolder : public hopsim::RunFolder {
public:
    // `config`: the -inp argument, or empty for ./krymo.inp, else ../krymo.inp.
    void load_from(std::string config);
    const std::string& config() const { return config_; }

    int outer_type() const { return reorg_outer_type; }
    double pekar() const { return reorg_outer_epsilon; }
    const std::vector<double>& radii_nm() const { return reorg_outer_radii; }
    bool electron() const { return electron_work(); }
    bool hole() const { return hole_work(); }

    // Induced-dipole settings.
    bool induce() const { return emultipole_induce != 0; }
    double cutoff_angstrom() const { return 10.0 * emultipole_cutoff; }
    double damping() const { return emultipole_aDamp; }
    double relaxation() const { return emultipole_wSOR_C; }
    int max_iterations() const { return emultipole_maxIter; }
    double tolerance() const { return emultipole_epsTol; }

    // Unit-cell molecule m (0-based): atomic numbers, fractional coordinates (3 per atom, whole
    // molecule), fractional centre of mass.
    const std::vector<int>& atom_numbers(int m) const { return mol_atypes[m]; }
    const std::vector<double>& fractional(int m) const { return mol_x_s[m]; }
    const double* fractional_centre(int m) const { return &mol_com_s[3 * m]; }
    // Columns a, b, c (Angstrom).
    const double (&lattice() const)[3][3] { return cif_lattice_vectors; }

private:
    std::string config_;
};

}  // namespace qcpost
}  // namespace krymo

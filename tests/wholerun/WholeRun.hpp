// Whole runs through the programs: a mesh from hydrova_mesh, a model file from hydrova_setup, a simulation from
// hydrova_simulation, and the cell fields read back from the results file. The one builder of every whole-run case.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "support/H5Data.hpp"
#include "support/Process.hpp"
#include "support/ScratchDir.hpp"

namespace wholerun {

/// Simulation configuration text: times [s], the first step [s], the stored outputs (JSON list items) and the
/// smallest acceptable step [s].
std::string config(double end, double out, double dtInit = 0.01, const std::string& outputs = "\"water_depth\"",
                   double start = 0.0, double minimum = 1e-4);

/// Cell geometry of a model file (cells in the model's own numbering): centroids [m] and areas [m^2].
struct Cells {
    std::vector<double> x, y, area;
    std::size_t size() const { return x.size(); }
};

/// One simulation case in its own scratch folder.
class Case {
public:
    /// With `meshOptions`, runs hydrova_mesh with them into mesh.2dm at once.
    explicit Case(const std::string& tag, const std::string& meshOptions = "");

    const testsupport::ScratchDir& dir() const { return dir_; }
    /// Runs hydrova_mesh with `options` into mesh.2dm; fails the test on a non-zero status.
    void mesh(const std::string& options);
    /// Replaces the bed elevation of every mesh node by f(x, y, z) (z the elevation hydrova_mesh gave).
    void reshapeBed(const std::function<double(double x, double y, double z)>& f);
    /// Appends a line (a node string) to mesh.2dm.
    void appendToMesh(const std::string& line);
    /// Writes the set-up command file and runs hydrova_setup into model.h5.
    void setup(const std::string& setupJson);
    /// setup() of a LAMINA_2D domain on mesh.2dm: `geometry` is appended to the GEOMETRY block (", ..." items),
    /// `hydraulics` is the HYDRAULICS object.
    void setup(const std::string& geometry, const std::string& hydraulics);
    /// Writes `configJson` as config.json and runs the simulation into `results` with n threads and extra options.
    testsupport::ProcessResult simulate(const std::string& configJson, const std::string& results = "results.h5",
                                        int threads = 1, const std::string& extra = "");

    /// simulate() that must succeed: a failure is reported with what the program printed.
    testsupport::ProcessResult run(const std::string& configJson, const std::string& results = "results.h5",
                                   int threads = 1, const std::string& extra = "");

    std::string model() const { return dir_.file("model.h5"); }
    Cells cells() const;
    /// Bed elevation per cell from the model file [m].
    std::vector<double> bed() const;
    /// HydState (H, qx, qy per cell) stored at output `index` of a results file.
    std::vector<double> state(const std::string& results, int index) const;
    /// BottomEl stored at output `index` (written when morphology runs) [m].
    std::vector<double> bedAt(const std::string& results, int index) const;
    double timeOf(const std::string& results, int index) const;
    int outputs(const std::string& results) const;
    /// Water volume Σ area·(H − zb) [m^3] at output `index`, over the stored bed of that output when there is one.
    double water(const std::string& results, int index) const;
    /// Sediment volume Σ area·zb [m^3] of the bed stored at output `index`.
    double sediment(const std::string& results, int index) const;

    /// Turns the hydraulic model file of setup() into a morphodynamic one, as the set-up program cannot yet: adds
    /// the morphology block to the archived command text, the morphological wall and Exner edge sets (the hydraulic
    /// wall and internal edges), sediment size d50 [m] and critical Shields value per cell, the bed-load parameters
    /// of a Meyer-Peter-Mueller law (A = 8, B = 1.5, porosity 0.4, sediment density 2650 kg/m^3), friction
    /// switched on (the model must have FRICTION), morphology from t = morphStart [s], and the morphological kernels to
    /// the schedule.
    void addMorphology(double d50, double thetaCritical, double morphStart = 0.0);
    /// After addMorphology: a non-erodible bed under every cell, `layer` [m] below its initial bed, with the
    /// fixed-bed correction (accuracy [m], iteration limit) in the schedule.
    void addFixedBed(double layer, double accuracy, int maxIterations);
    /// After addMorphology: the lateral-slope (Ikeda, factor 0.5) and curvature (factor 7) corrections of the
    /// transport direction and the local-slope correction of the critical Shields value (van Rijn, repose angle
    /// 0.6 rad), with the reconstruction weights, neighbour map and centroid vectors computed from mesh.2dm as the
    /// set-up program's geometry computes them.
    void addDirectionCorrections();
    /// After addFixedBed: every hydraulic source cell becomes a sediment source cell too, reading the same source
    /// row (its rate [m/s] raises bed and water surface alike) with the behaviour code sinkType (30 exact,
    /// 31 available, 32 infinity).
    void addSedimentSources(int sinkType);
    /// After addMorphology, for a model without hydraulic boundaries: the boundary edges whose outward normal points
    /// to -x leave the morphological walls and feed sediment by the boundary code 410 with the row (r0 = qs
    /// [m^2/s], r1 = 1), i.e. qs / (1 - porosity) per metre of edge. Returns the total length of those edges [m].
    double addSedimentInflowOnTheLeft(double qs);

private:
    /// A dataset of the model file as integers.
    std::vector<int> ints(const std::string& path) const;
    /// Σ area · values[stride · i] over the cells.
    double volume(const std::vector<double>& values, std::size_t stride) const;
    /// Opens the model file for a morphology helper's additions after putting `item` at the start of `block` of the
    /// archived command text and appending the kernels (identifier, end offset [s]) to the schedule, each from the
    /// start with increment 0: every step up to the end offset, or once at the start for end offset 0.
    testsupport::H5Output extend(const std::string& block, const std::string& item,
                                 std::initializer_list<std::pair<int, double>> kernels);

    testsupport::ScratchDir dir_;
    std::string setupText_;
    std::string archivedText_;
};

/// The last stored state of a run that should have become steady, against the exact water surface [m] at (x, bed),
/// over the cells whose centroid abscissa `counted` accepts; q is the exact discharge per metre width along x
/// [m^2/s]. A failed run (`ran` false) gives 1e9 everywhere.
struct Steady {
    double maxError = 1e9;           ///< max |H - exact| [m]
    double meanError = 1e9;          ///< area-weighted mean of H - exact [m]
    double meanAbsError = 1e9;       ///< area-weighted mean of |H - exact| [m]
    double maxDischargeError = 1e9;  ///< max |qx - q| / q
    double maxCrossDischarge = 1e9;  ///< max |qy| / q
    double lastChange = 1e9;         ///< max |H| change between the last two outputs over every cell [m]
};
Steady steadyState(const Case& c, bool ran, double q, const std::function<double(double x, double bed)>& exact,
                   const std::function<bool(double x)>& counted);

/// L1 error of the depth per metre width [m^2] at the first output after the start of a 100 m x 2 m channel with nx
/// cells along it (`rows` across, nx / 50 when 0) and a dam at x = 50 m (material 1 upstream, 2 downstream):
/// `hydraulics` is the HYDRAULICS block of the set-up, `config` the simulation configuration, `exact` the depth at
/// abscissa x. A failed run is reported and gives 1e9.
double damBreakDepthError(const std::string& tag, int nx, const std::string& hydraulics, const std::string& config,
                          const std::function<double(double x)>& exact, int rows = 0);

/// A dam-break case's L1 depth error per metre width [m^2] with nx0, 2 nx0 and 4 nx0 cells along the channel and
/// the observed orders between them, printed on one line that starts with `title`.
struct Refinement {
    double error[3];
    double order1, order2;  ///< log2 of the coarse/middle and middle/fine error ratios
};
Refinement damBreakRefinement(const char* title, const std::function<double(int nx)>& errorOf, int nx0 = 100);

}  // namespace wholerun

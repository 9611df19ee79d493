#include "results/ResultsRun.hpp"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>

#include "common/FileChecks.hpp"
#include "common/TerraException.hpp"
#include "results/RasterExport.hpp"
#include "dataio/ResultReader.hpp"
#include "results/XdmfExport.hpp"

namespace results {

namespace {

[[noreturn]] void fail(const std::string& message)
{
    std::cerr << " -> " << message << std::endl;
    throw TerraException();
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string stemOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.size() > 3 && name.compare(name.size() - 3, 3, ".h5") == 0) name.resize(name.size() - 3);
    return name;
}

std::string timeText(double t)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%g", t);
    return text;
}

/// A CSV field, quoted (with doubled quotes) when it holds a comma, a quote or a line break.
std::string csvField(const std::string& text)
{
    if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
    std::string out = "\"";
    for (const char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

/// Units of the tracked flood variables: arrival time, maximum depth, velocity and specific discharge.
const char* const FLOOD_UNITS[] = {"s", "m", "m/s", "m²/s"};

}  // namespace

Quantity quantityOf(const std::string& name, int component)
{
    if (name == "water_surface") return {"m", ColourMap::Blues, true};
    if (name == "water_depth") return {"m", ColourMap::Blues, true};
    if (name == "bottom_elevation") return {"m", ColourMap::Terrain, false};
    if (name == "friction_chezy") return {"-", ColourMap::Viridis, false};
    if (name == "spec_discharge") return {"m²/s", ColourMap::Viridis, true};
    if (name == "delta_z") return {"m", ColourMap::Diverging, false};
    if (name == "flow_velocity" || name == "flow_velocity_abs") return {"m/s", ColourMap::Viridis, true};
    if (name == "flow_curvature") return {"1/m", ColourMap::Diverging, false};
    if (name == "flow_radius") return {"m", ColourMap::Diverging, false};
    if (name == "flood_tracking") {
        const int k = component < 0 ? 0 : component;
        return {k < 4 ? FLOOD_UNITS[k] : "-", k == 1 ? ColourMap::Blues : ColourMap::Viridis, true};
    }
    return {"-", ColourMap::Viridis, false};
}

void printInfo(const ResultsFile& file)
{
    std::cout << " -> results file: " << file.fileName() << '\n'
              << " -> mesh: " << file.nodeCount() << " nodes, " << file.cellCount() << " cells, "
              << file.stringNames().size() << " node-string pieces" << '\n';
    if (file.elevationOffset() != 0.0)
        std::cout << " -> elevations stored relative to " << file.elevationOffset() << " m (added back)" << '\n';
    std::cout << " -> outputs:" << '\n';
    for (const api::IOutput* o : file.outputs()) {
        std::string why;
        const bool ok = file.canProvide(o, why);
        std::cout << " ->   " << o->getName() << (o->isTracking() ? " (tracked)" : "")
                  << (ok ? "" : " (not provided: " + why + ")") << '\n';
    }
    std::cout << " -> stored times: " << file.times().size() << '\n';
    // Printed with the digits that read back as the stored time, so that a re-run can be started from it.
    for (const TimeStep& s : file.times())
        std::cout << " ->   t[s]: " << dataio::ResultReader::timeText(s.time) << " (record " << s.record << ")\n";
    for (const int record : file.incompleteRecords())
        std::cout << " ->   record " << record << " is incomplete (no time): left out\n";
    std::cout << std::flush;
}

std::vector<PictureFile> writePictures(const ResultsFile& file, const std::string& requested,
                                       const std::vector<double>& times, int component, const std::string& stem,
                                       const RunOptions& options)
{
    std::vector<Overlay> overlays;
    if (options.drawStrings) {
        const auto lines = file.stringLines();
        if (lines.empty()) fail("results file <" + file.fileName() + "> holds no node-string lines to draw");
        for (const auto& line : lines) overlays.push_back({line.first, line.second});
    }
    if (options.drawGauges) {
        const auto points = file.gaugePoints();
        if (points.empty()) fail("results file <" + file.fileName() + "> holds no gauges to draw");
        for (const auto& point : points) overlays.push_back({point.first, {point.second}});
    }
    if (options.fixedRange && !(options.rangeMax > options.rangeMin))
        fail("--range needs MIN below MAX");
    // A tracked flood variable by its own name (as the XDMF file calls it) is that component of flood_tracking.
    std::string name = requested;
    std::string floodName;
    for (int k = 0; k < 4; ++k)
        if (requested == FLOOD_VARIABLE_NAMES[k]) {
            name = "flood_tracking";
            component = k;
            floodName = requested;
        }
    api::IOutput* o = file.findOutput(name);
    if (o == nullptr) fail("output <" + name + "> cannot be computed by the model of <" + file.fileName() + ">");
    if (o->getSet()->getID() != model::SetID::CellsAll)
        fail("output <" + name + "> lies on node strings, not on cells: see the hydrographs");
    std::string why;
    if (!file.canProvide(o, why)) fail("output <" + name + "> cannot be provided by <" + file.fileName() + ">: " + why);
    const int dim = o->getSize();
    if (component >= dim) fail("output <" + name + "> has " + std::to_string(dim) + " component(s)");

    // Tracked data are stored once for the whole run: one picture, whatever the times.
    std::vector<TimeStep> steps;
    if (times.empty() || o->isTracking())
        steps.push_back(file.times().back());
    else
        for (const double t : times) steps.push_back(file.findTime(t));

    const Quantity q = quantityOf(name, component);
    std::vector<PictureFile> written;
    for (const TimeStep& step : steps) {
        const std::vector<std::vector<double>> all = file.components(o, step);
        const auto part = [&](int k) -> const std::vector<double>& {
            if (k >= static_cast<int>(all.size())) fail("output <" + name + "> has no component " + std::to_string(k));
            return all[static_cast<std::size_t>(k)];
        };
        std::vector<double> v;
        std::string label = name;
        if (component < 0 && dim == 2) {
            // Vectors are drawn by their magnitude.
            const auto& x = part(0);
            const auto& y = part(1);
            v.resize(x.size());
            for (std::size_t i = 0; i < x.size(); ++i) v[i] = std::hypot(x[i], y[i]);
            label = "|" + name + "|";
        } else {
            const int k = component < 0 ? 0 : component;
            v = part(k);
            if (!floodName.empty())
                label = floodName;
            else if (dim > 1)
                label = name + "[" + std::to_string(k) + "]";
        }
        std::vector<bool> blank(v.size(), false);
        if (q.blankDry) {
            // Tracked: cells never wet have a maximum depth of 0.
            const std::vector<double> h = o->isTracking() ? part(1) : file.depth(step);
            for (std::size_t i = 0; i < v.size() && i < h.size(); ++i) blank[i] = !(h[i] > file.minWaterDepth());
        }
        FieldStyle style;
        style.title = o->isTracking() ? label + " over the whole run" : label + " at t = " + timeText(step.time) + " s";
        style.unit = q.unit;
        style.map = q.map;
        style.fixedRange = options.fixedRange;
        style.rangeMin = options.rangeMin;
        style.rangeMax = options.rangeMax;
        style.overlays = overlays;
        const std::string png =
            stem + "_" +
            (floodName.empty() ? name + (component >= 0 && dim > 1 ? std::to_string(component) : "") : floodName) +
            (o->isTracking() ? "" : "_t" + timeText(step.time)) + ".png";
        if (static_cast<int>(v.size()) != file.cellCount())
            fail("output <" + name + "> has " + std::to_string(v.size()) + " values for " +
                 std::to_string(file.cellCount()) + " cells");
        const PictureFrame frame = renderField(file.nodes(), file.cells(), v, blank, style, png);
        std::cout << " -> picture written: " << png << std::endl;
        written.push_back({png, frame});
    }
    return written;
}

std::vector<std::string> writeHydrographs(const ResultsFile& file, const std::string& stem)
{
    std::vector<std::string> written;
    if (file.stringNames().empty()) return written;

    // Pieces of one long string carry its name: their discharges add up.
    std::vector<std::string> names;
    std::vector<int> columnOf;
    for (const std::string& piece : file.stringNames()) {
        std::size_t k = 0;
        while (k < names.size() && names[k] != piece) ++k;
        if (k == names.size()) names.push_back(piece);
        columnOf.push_back(static_cast<int>(k));
    }

    struct Kind {
        const char* output;
        const char* suffix;
        const char* title;
        const char* label;
    };
    std::vector<Kind> kinds = {{"ns_hyd_discharge", "_discharge", "Discharge through node strings", "Q [m³/s]"}};
    if (file.hasMorphology())
        kinds.push_back(
            {"ns_mor_discharge", "_sediment_discharge", "Sediment discharge through node strings", "Qs [m³/s]"});

    for (const Kind& kind : kinds) {
        api::IOutput* o = file.findOutput(kind.output);
        std::string why;
        if (o == nullptr || !file.canProvide(o, why)) {
            std::cout << " -> " << kind.output << " not provided by the file" << (why.empty() ? "" : ": " + why)
                      << std::endl;
            continue;
        }
        std::vector<double> times;
        std::vector<std::vector<double>> series(names.size());
        for (const TimeStep& step : file.times()) {
            const std::vector<double> pieces = file.values(o, 0, step);
            if (pieces.size() != columnOf.size())
                fail("the node strings of <" + file.fileName() + "> hold " + std::to_string(pieces.size()) +
                     " values for " + std::to_string(columnOf.size()) + " names");
            times.push_back(step.time);
            for (auto& s : series) s.push_back(0.0);
            for (std::size_t p = 0; p < pieces.size(); ++p) series[columnOf[p]].back() += pieces[p];
        }
        const std::string csv = stem + kind.suffix + ".csv";
        std::ofstream out(csv);
        out << "time_s";
        for (const std::string& n : names) out << ',' << csvField(n);
        out << '\n';
        char text[40];
        for (std::size_t i = 0; i < times.size(); ++i) {
            std::snprintf(text, sizeof(text), "%.10g", times[i]);
            out << text;
            for (const auto& s : series) {
                std::snprintf(text, sizeof(text), "%.9g", s[i]);
                out << ',' << text;
            }
            out << '\n';
        }
        out.close();
        if (!out) fail("cannot write <" + csv + ">");
        const std::string png = stem + kind.suffix + ".png";
        renderLines(times, series, names, kind.title, kind.label, png);
        std::cout << " -> hydrograph written: " << csv << ", " << png << std::endl;
        written.push_back(csv);
        written.push_back(png);
    }
    return written;
}

std::vector<std::string> writeGauges(const ResultsFile& file, const std::string& stem)
{
    const std::vector<std::string> names = file.gaugeNames();
    if (names.empty()) return {};
    const std::vector<std::vector<double>> samples = file.gaugeSamples();
    if (samples.empty()) {
        std::cout << " -> the gauges of <" << file.fileName() << "> hold no valid samples" << std::endl;
        return {};
    }
    const std::string csv = stem + "_gauges.csv";
    std::ofstream out(csv);
    out << "time_s";
    for (const std::string& n : names)
        for (const char* q : {"_surface_m", "_depth_m", "_u_m_s", "_v_m_s"}) out << ',' << csvField(n + q);
    out << '\n';
    char text[40];
    std::vector<double> times;
    std::vector<std::vector<double>> surfaces(names.size());
    for (const auto& row : samples) {
        // Enough digits to read back every stored double as it is.
        std::snprintf(text, sizeof(text), "%.17g", row[0]);
        out << text;
        for (std::size_t k = 1; k < row.size(); ++k) {
            std::snprintf(text, sizeof(text), "%.17g", row[k]);
            out << ',' << text;
        }
        out << '\n';
        times.push_back(row[0]);
        for (std::size_t g = 0; g < names.size(); ++g) surfaces[g].push_back(row[1 + 4 * g]);
    }
    out.close();
    if (!out) fail("cannot write <" + csv + ">");
    const std::string png = stem + "_gauges.png";
    renderLines(times, surfaces, names, "Water surface at the gauges", "surface [m]", png, false);
    std::cout << " -> gauges written: " << csv << ", " << png << " (" << samples.size() << " samples)" << std::endl;
    return {csv, png};
}

void runResults(const RunOptions& options)
{
    const ResultsFile file(options.resultsFile);
    if (options.info) {
        printInfo(file);
        return;
    }
    const std::string folder = options.outputFolder.empty() ? folderOf(options.resultsFile) : options.outputFolder;
    const std::string stem = folder + "/" + stemOf(options.resultsFile);

    // Pictures first: a picture that cannot be drawn is the caller's error and ends the call before any file.
    for (const std::string& picture : options.pictures) {
        // "name[k]" draws component k of that output; a plain name uses the common choice.
        std::string name = picture;
        int component = options.component;
        const auto open = picture.find('[');
        if (open != std::string::npos && picture.back() == ']') {
            name = picture.substr(0, open);
            const std::string digits = picture.substr(open + 1, picture.size() - open - 2);
            if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos)
                fail("picture <" + picture + ">: the component must be a number");
            component = std::stoi(digits);
        }
        writePictures(file, name, options.times, component, stem, options);
    }

    if (!options.rasterStem.empty())
        writeRasters(file, options.rasterStem, options.rasterCell, options.times.empty() ? -1.0 : options.times.front());

    const std::string xdmf = options.xdmfFile.empty() ? defaultXdmfName(options.resultsFile) : options.xdmfFile;
    hydrova::refuseSameFile("file of derived values", derivedFileName(xdmf), {{"results file", options.resultsFile}});
    const int n = writeXdmf(file, xdmf);
    std::cout << " -> XDMF written: " << xdmf << " (" << file.times().size() << " time steps, " << n
              << " attributes each)" << std::endl;

    if (options.hydrographs && file.stringNames().empty())
        fail("results file <" + options.resultsFile + "> holds no node strings");
    writeHydrographs(file, stem);
    writeGauges(file, stem);
}

}  // namespace results

#include "wholerun/WholeRun.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "simulation/ModelFile.hpp"

using testsupport::program;
using testsupport::runProcess;
using testsupport::shellQuote;

namespace wholerun {

std::vector<std::string> readLines(const std::string& path)
{
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

void writeLines(const std::string& path, const std::vector<std::string>& lines)
{
    std::ofstream out(path);
    for (const auto& line : lines) out << line << '\n';
}

bool parseNode(const std::string& line, int& id, double& x, double& y, double& z)
{
    if (line.rfind("ND ", 0) != 0) return false;
    std::istringstream in(line.substr(3));
    return static_cast<bool>(in >> id >> x >> y >> z);
}

std::string nodeLine(int id, double x, double y, double z)
{
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, "ND %d %.10g %.10g %.10g", id, x, y, z);
    return buffer;
}

void Case::mesh(const std::string& options)
{
    const auto r = runProcess(shellQuote(program("hydrova_mesh")) + " " + options + " -o mesh.2dm", dir_.path());
    ASSERT_EQ(r.status, 0) << r.out << r.err;
}

void Case::setup(const std::string& setupJson)
{
    dir_.write("setup.json", setupJson);
    const auto r = runProcess(shellQuote(program("hydrova_setup")) + " -f setup.json -o model.h5", dir_.path());
    ASSERT_EQ(r.status, 0) << r.out << r.err;
}

testsupport::ProcessResult Case::simulate(const std::string& configJson, const std::string& results, int threads,
                                          const std::string& extra)
{
    dir_.write("config.json", configJson);
    return runProcess(shellQuote(program("hydrova_simulation")) + " -f config.json -r model.h5 -o " +
                          shellQuote(results) + " -n " + std::to_string(threads) + " " + extra,
                      dir_.path());
}

Cells Case::cells() const
{
    const auto nodes = drivertest::readValues(model(), "NodesAll/Coordnts");
    const auto topology = drivertest::readValues(model(), "CellsAll/Topology");
    const auto area = drivertest::readValues(model(), "CellsAll/GeomArea");
    Cells c;
    const std::size_t n = topology.size() / 3;
    for (std::size_t i = 0; i < n; ++i) {
        double sx = 0.0, sy = 0.0;
        for (int k = 0; k < 3; ++k) {
            const auto node = static_cast<std::size_t>(topology[3 * i + static_cast<std::size_t>(k)]);
            sx += nodes.at(3 * node);
            sy += nodes.at(3 * node + 1);
        }
        c.x.push_back(sx / 3.0);
        c.y.push_back(sy / 3.0);
        c.area.push_back(area.at(i));
    }
    return c;
}

std::vector<double> Case::bed() const { return drivertest::readValues(model(), "CellsAll/BottomEl"); }

namespace {
std::string statePath(int index)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "RESULTS/CellsAll/HydState/%07d", index);
    return buffer;
}
}  // namespace

std::vector<double> Case::state(const std::string& results, int index) const
{
    return drivertest::readValues(dir_.file(results), statePath(index));
}

double Case::timeOf(const std::string& results, int index) const
{
    return drivertest::readAttribute(dir_.file(results), statePath(index), "t");
}

int Case::outputs(const std::string& results) const
{
    return drivertest::countObjects(dir_.file(results), "RESULTS/CellsAll/HydState");
}

double volume(const Cells& cells, const std::vector<double>& state, const std::vector<double>& bed)
{
    double v = 0.0;
    for (std::size_t i = 0; i < cells.size(); ++i) v += cells.area[i] * (state[3 * i] - bed[i]);
    return v;
}

}  // namespace wholerun

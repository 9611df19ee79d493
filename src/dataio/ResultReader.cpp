#include "dataio/ResultReader.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iostream>

#include "common/TerraException.hpp"

namespace dataio {

const std::string ResultReader::RESULTPATH = "/RESULTS/";

ResultReader::ResultReader(const std::string& fileName) : H5Reader(fileName, "rw") {}

std::string ResultReader::getOutputGroup(const std::string& name)
{
    std::vector<char> buffer(RESULTPATH.size() + name.size() + 1);
    std::snprintf(buffer.data(), buffer.size(), "%s%s", RESULTPATH.c_str(), name.c_str());
    return std::string(buffer.data());
}

std::string ResultReader::getOutputPath(const std::string& name, const int& index)
{
    const std::string group = getOutputGroup(name);
    std::vector<char> buffer(group.size() + 16);
    std::snprintf(buffer.data(), buffer.size(), "%s/%07i", group.c_str(), index);
    return std::string(buffer.data());
}

std::map<double, std::vector<int>> ResultReader::getAllTimesWithPosition(const std::vector<std::string>& names) const
{
    std::map<double, std::vector<int>> times;
    for (const auto& name : names) {
        const int n = getNumberObjs(getOutputGroup(name));
        for (int i = 0; i < n; ++i) {
            const std::string path = getOutputPath(name, i);
            if (existAttribute(path, "t")) times[readAttributeDouble(path, "t")].push_back(i);
        }
    }
    return times;
}

std::map<double, int> ResultReader::getTimesWithPosition(const std::vector<std::string>& names,
                                                         const bool& strict) const
{
    const auto& paths = names;
    std::map<double, int> result;
    for (const auto& it : getAllTimesWithPosition(names)) {
        const double time = it.first;
        // Invalidated records all carry the same negative time at different indices: no consistency to check.
        if (time < 0.0) {
            result[time] = it.second.front();
            continue;
        }
        if (strict)
            HYDROVA_ASSERT(it.second.size() == paths.size(), "not all needed results are found for t=" << time << "s");
        for (int index : it.second) {
            if (index != it.second.front()) {
                std::cerr << " -> "
                          << "corrupt result file!" << std::endl;
                throw TerraException();
            }
        }
        result[time] = it.second.front();
    }
    return result;
}

std::string ResultReader::timeText(double t)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, t);
    return std::string(text, result.ptr);
}

void ResultReader::printValidTimes(const std::vector<std::string>& names) const
{
    for (const auto& it : getTimesWithPosition(names, false)) {
        if (it.first < 0.0) continue;
        std::cout << " -> "
                  << "t[s]: " << timeText(it.first) << std::endl;
    }
    for (const int index : incompleteRecords(names))
        std::cout << " -> "
                  << "record " << index << " is incomplete (no time): left out" << std::endl;
}

std::vector<int> ResultReader::incompleteRecords(const std::vector<std::string>& names) const
{
    std::vector<int> found;
    for (const auto& name : names) {
        if (!existDataset(getOutputGroup(name))) continue;
        const int n = getNumberObjs(getOutputGroup(name));
        for (int i = 0; i < n; ++i)
            if (existDataset(getOutputPath(name, i)) && !existAttribute(getOutputPath(name, i), "t")) found.push_back(i);
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    return found;
}

int ResultReader::findRestartTime(const std::vector<std::string>& names, const double& time, double& stored) const
{
    constexpr double tolerance = 1.0e-6;
    int index = -1;
    for (const auto& it : getAllTimesWithPosition(names)) {
        if (it.first < 0.0 || std::abs(it.first - time) > tolerance || it.second.size() != names.size()) continue;
        if (std::any_of(it.second.begin(), it.second.end(), [&](int i) { return i != it.second.front(); })) continue;
        if (index < 0 || std::abs(it.first - time) < std::abs(stored - time)) {
            index = it.second.front();
            stored = it.first;
        }
    }
    return index;
}

void ResultReader::deleteResults(const std::string& name, const int& index)
{
    const int n = getNumberObjs(getOutputGroup(name));
    for (int i = index < 0 ? 0 : index; i < n; ++i)
        attachAttributeDouble(getOutputPath(name, i), "t", NONVALIDRESULTTIME);
}

}  // namespace dataio

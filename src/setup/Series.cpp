#include "setup/Series.hpp"

#include <cmath>
#include <fstream>
#include <sstream>

#include "setup/SetupError.hpp"
#include "setup/mesh/TextInput.hpp"

namespace setup {

namespace {

std::string joinPath(const std::string& baseDir, const std::string& name)
{
    if (name.empty() || name.front() == '/' || baseDir.empty()) return name;
    return baseDir + "/" + name;
}

}  // namespace

std::vector<std::pair<double, double>> parseSeriesText(std::istream& in, const std::string& source,
                                                       const std::string& label)
{
    std::vector<std::pair<double, double>> points;
    std::string line;
    int lineNo = 0;
    for (;;) {
        const LineRead status = readBoundedLine(in, line);
        if (status == LineRead::End) break;
        ++lineNo;
        if (status == LineRead::TooLong) {
            std::ostringstream msg;
            msg << label << ": line " << lineNo << " of <" << source << "> is longer than 1 MB";
            throw SetupError(msg.str());
        }
        for (char& c : line)
            if (c == ',' || c == '\t' || c == '\r') c = ' ';
        const auto first = line.find_first_not_of(' ');
        if (first == std::string::npos || line[first] == '#') continue;
        std::istringstream fields(line);
        double x = 0.0, y = 0.0;
        std::string rest;
        if (!(fields >> x >> y) || (fields >> rest)) {
            std::ostringstream msg;
            msg << label << ": line " << lineNo << " of <" << source << "> must hold exactly two numbers";
            throw SetupError(msg.str());
        }
        points.emplace_back(x, y);
    }
    return points;
}

void checkSeries(const Series& series)
{
    const auto& p = series.points;
    if (p.empty()) throw SetupError(series.label + ": the series is empty");
    if (static_cast<int>(p.size()) > kMaxSeriesPairs) {
        std::ostringstream msg;
        msg << series.label << ": the series has " << p.size() << " pairs, at most " << kMaxSeriesPairs
            << " are allowed";
        throw SetupError(msg.str());
    }
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (!std::isfinite(p[i].first) || !std::isfinite(p[i].second)) {
            std::ostringstream msg;
            msg << series.label << ": pair " << i << " is not a finite number";
            throw SetupError(msg.str());
        }
        if (i > 0 && !(p[i].first > p[i - 1].first)) {
            std::ostringstream msg;
            msg << series.label << ": the abscissae must increase, but pair " << i << " has x = " << p[i].first
                << " after x = " << p[i - 1].first;
            throw SetupError(msg.str());
        }
        // The stored series ends at the first abscissa 0 after the first pair (the lookup's end mark).
        if (i > 0 && p[i].first == 0.0) {
            std::ostringstream msg;
            msg << series.label << ": x = 0 is allowed only in the first pair (pair " << i << ")";
            throw SetupError(msg.str());
        }
    }
}

Series readSeries(const nlohmann::json& value, const std::string& baseDir, const std::string& label)
{
    Series series;
    series.label = label;
    if (value.is_array()) {
        for (std::size_t i = 0; i < value.size(); ++i) {
            const auto& pair = value[i];
            if (!pair.is_array() || pair.size() != 2 || !pair[0].is_number() || !pair[1].is_number()) {
                std::ostringstream msg;
                msg << label << ": entry " << i << " must be a pair of numbers [x, y]";
                throw SetupError(msg.str());
            }
            series.points.emplace_back(pair[0].get<double>(), pair[1].get<double>());
        }
    } else if (value.is_object() && value.size() == 1 && value.contains("file") && value["file"].is_string()) {
        const std::string path = joinPath(baseDir, value["file"].get<std::string>());
        if (!isRegularFileOrMissing(path))
            throw SetupError(label + ": the series file <" + path + "> is not a regular file");
        std::ifstream in(path);
        if (!in) throw SetupError(label + ": cannot read the series file <" + path + ">");
        series.points = parseSeriesText(in, path, label);
        series.file = path;
    } else {
        throw SetupError(label + ": a series is a list of pairs [[x0, y0], ...] or {\"file\": \"name\"}");
    }
    checkSeries(series);
    return series;
}

}  // namespace setup

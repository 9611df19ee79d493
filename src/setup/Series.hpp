// User series (time series, rating curves): pairs (x, y) with increasing x, given inline or as a text file.
#pragma once

#include <iosfwd>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

namespace setup {

/// Most pairs one series may hold (the model file stores 12000 values per series).
constexpr int kMaxSeriesPairs = 6000;

struct Series {
    std::string label;  ///< what the series belongs to, for messages, e.g. "boundary <upstream>: discharge"
    std::vector<std::pair<double, double>> points;  ///< (x, y), x strictly increasing
    std::string file;                               ///< the file it was read from, empty for inline pairs
};

/// Reads a series from its command-file value: inline pairs [[x0, y0], ...] or {"file": "name.txt"} with a
/// name relative to `baseDir`. Throws SetupError naming `label` when the value or the file is unusable, the
/// series is empty, longer than kMaxSeriesPairs, or its abscissae do not increase.
Series readSeries(const nlohmann::json& value, const std::string& baseDir, const std::string& label);

/// Parses the text form: two numbers per line separated by blanks, tabs or commas; blank lines and lines
/// starting with '#' are skipped. `source` names the text in messages. Does not check the order of x.
std::vector<std::pair<double, double>> parseSeriesText(std::istream& in, const std::string& source,
                                                       const std::string& label);

/// Checks size and order of a series; throws SetupError naming series.label.
void checkSeries(const Series& series);

}  // namespace setup

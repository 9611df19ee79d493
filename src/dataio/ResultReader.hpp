// Reader of a results file: output record paths, stored times, and invalidation of records for a restart.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "dataio/H5Reader.hpp"
#include "dataio/IResultReader.hpp"

namespace dataio {

/// Opens its file with mode "rw", since deleteResults rewrites attributes.
class ResultReader : public H5Reader, public virtual api::IResultReader {
public:
    static const std::string RESULTPATH;                ///< "/RESULTS/"
    static constexpr double NONVALIDRESULTTIME = -1.0;  ///< time [s] that marks a record invalid

    explicit ResultReader(const std::string& fileName);

    /// "/RESULTS/" + name.
    static std::string getOutputGroup(const std::string& name);
    /// getOutputGroup(name) + "/" + index formatted "%07i".
    static std::string getOutputPath(const std::string& name, const int& index);

    /// The shortest text that reads back as exactly t (so that a printed time can be typed back).
    static std::string timeText(double t);

    std::map<double, std::vector<int>> getAllTimesWithPosition(const std::vector<std::string>& names) const override;
    std::map<double, int> getTimesWithPosition(const std::vector<std::string>& names,
                                               const bool& strict) const override;
    void printValidTimes(const std::vector<std::string>& names) const override;
    void deleteResults(const std::string& name, const int& index) override;
    std::vector<int> incompleteRecords(const std::vector<std::string>& names) const override;
    int findRestartTime(const std::vector<std::string>& names, const double& time, double& stored) const override;
};

}  // namespace dataio

// Interface of the reader of a results file: where output records lie and at which simulation times.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "dataio/IH5Reader.hpp"

namespace api {

/// Results file opened for reading and writing. Output names are model paths such as "CellsAll/HydState"; the
/// records of an output lie at "/RESULTS/" + name + "/" + index ("%07i") with the double attribute "t" [s].
class IResultReader : public virtual IH5Reader {
public:
    /// time [s] -> record indices holding it, one entry per output (and per record) that has it. Records without
    /// the attribute "t" (a run stopped while writing them) are left out.
    virtual std::map<double, std::vector<int>> getAllTimesWithPosition(const std::vector<std::string>& names) const = 0;
    /// time [s] -> record index, ascending by time. Strict: every time must be present in every output (fatal
    /// otherwise). One time stored at different indices in different outputs is fatal ("corrupt result file!").
    /// Negative (invalidated) times are exempt from both checks.
    virtual std::map<double, int> getTimesWithPosition(const std::vector<std::string>& names,
                                                       const bool& strict) const = 0;
    /// Prints " -> t[s]: <time>" on standard output for every non-negative stored time, with the digits that read
    /// back as that time, then the incomplete records.
    virtual void printValidTimes(const std::vector<std::string>& names) const = 0;
    /// Marks records index, index+1, ..., last of output `name` invalid (attribute "t" = -1.0); data stay in place.
    virtual void deleteResults(const std::string& name, const int& index) = 0;
    /// Indices of records (of any of the named outputs) that lack the attribute "t", ascending, without repeats.
    virtual std::vector<int> incompleteRecords(const std::vector<std::string>& names) const = 0;
    /// Record index of the stored time nearest to `time` within 1e-6 s, held by every named output (that time in
    /// `stored`); -1 when there is none.
    virtual int findRestartTime(const std::vector<std::string>& names, const double& time, double& stored) const = 0;
};

}  // namespace api

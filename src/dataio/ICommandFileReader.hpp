// Interface of the configuration ("command") file reader: typed values by slash-separated paths.
#pragma once

#include <string>
#include <vector>

namespace api {

/// Read access to a JSON configuration. Paths such as "SIMULATION/TIME/end" are split at every "/" (an empty
/// piece is a component too) and walk object members from the root.
///
/// Required getters set `found` and, when the value is missing, print " -> path <...> not found." on standard
/// error; missing or wrongly typed values give the fallback: false, -2147483648, quiet NaN, "" or an empty list.
/// Optional getters print nothing and return `def` when the value is missing or wrongly typed.
class ICommandFileReader {
public:
    virtual ~ICommandFileReader() = default;

    /// The file name; empty when the reader was built from JSON text.
    virtual std::string getFileName() const = 0;
    /// The whole document serialised compactly (what is archived in the results file).
    virtual std::string getHash() const = 0;

    /// True if every path is present (stops at the first missing one); prints nothing.
    virtual bool checkPaths(const std::vector<std::string>& paths) const = 0;
    /// Element count of the array at path (required: prints when missing); 0 when not an array.
    virtual int getArrayLength(const std::string& path, bool& found) const = 0;
    /// Element count of the array at path; 0 when missing or not an array; prints nothing.
    virtual int getOptionalArrayLength(const std::string& path) const = 0;
    /// Names of the members of the object at path whose values are objects, in key order.
    virtual std::vector<std::string> getGroups(const std::string& path) const = 0;

    virtual bool getBool(const std::string& path, bool& found) const = 0;
    /// Any JSON number, converted (10.5 gives 10).
    virtual int getInt(const std::string& path, bool& found) const = 0;
    virtual double getDouble(const std::string& path, bool& found) const = 0;
    virtual std::string getString(const std::string& path, bool& found) const = 0;
    virtual std::vector<int> getIntList(const std::string& path, bool& found) const = 0;
    virtual std::vector<double> getDoubleList(const std::string& path, bool& found) const = 0;
    virtual std::vector<std::string> getStringList(const std::string& path, bool& found) const = 0;

    virtual bool getOptionalBool(const std::string& path, const bool& def) const = 0;
    virtual int getOptionalInt(const std::string& path, const int& def) const = 0;
    virtual double getOptionalDouble(const std::string& path, const double& def) const = 0;
    virtual std::string getOptionalString(const std::string& path, const std::string& def) const = 0;
    virtual std::vector<int> getOptionalIntList(const std::string& path, const std::vector<int>& def) const = 0;
    virtual std::vector<double> getOptionalDoubleList(const std::string& path,
                                                      const std::vector<double>& def) const = 0;
    virtual std::vector<std::string> getOptionalStringList(const std::string& path,
                                                           const std::vector<std::string>& def) const = 0;

    /// Member `key` of element `index` of the array of objects at path (required: prints
    /// " -> path <path[index]/key> not found." when missing).
    virtual int getIntFromArray(const std::string& path, const int& index, const std::string& key,
                                bool& found) const = 0;
    virtual double getDoubleFromArray(const std::string& path, const int& index, const std::string& key,
                                      bool& found) const = 0;
    virtual std::string getStringFromArray(const std::string& path, const int& index, const std::string& key,
                                           bool& found) const = 0;
    /// A member that is an array of numbers.
    virtual std::vector<double> getValueListFromArray(const std::string& path, const int& index, const std::string& key,
                                                      bool& found) const = 0;
    virtual int getOptionalIntFromArray(const std::string& path, const int& index, const std::string& key,
                                        const int& def) const = 0;
    virtual double getOptionalDoubleFromArray(const std::string& path, const int& index, const std::string& key,
                                              const double& def) const = 0;
    virtual std::string getOptionalStringFromArray(const std::string& path, const int& index, const std::string& key,
                                                   const std::string& def) const = 0;
    virtual std::vector<double> getOptionalValueListFromArray(const std::string& path, const int& index,
                                                              const std::string& key,
                                                              const std::vector<double>& def) const = 0;
    /// path + "[" + index + "]/" + key, used in messages only.
    virtual std::string createPathWithinArray(const std::string& path, const int& index,
                                              const std::string& key) const = 0;
};

}  // namespace api

// Reader of the JSON configuration ("command") file, or of a JSON text held in memory.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "dataio/ICommandFileReader.hpp"

namespace dataio {

class JSONReader : public api::ICommandFileReader {
public:
    /// The path separator.
    static const char delimiter = '/';

    /// Parses argument as JSON text; when that fails, reads the file it names (" -> input file <...> not found."
    /// and TerraException when it cannot be opened; a malformed file raises the JSON library's parse error).
    explicit JSONReader(const std::string& argument);

    std::string getFileName() const override;
    std::string getHash() const override;

    /// Copy of the value at path; found = false when a component is missing (the result is then meaningless).
    nlohmann::json getValue(const std::string& path, bool& found) const;
    nlohmann::json getOptionalValue(const std::string& path, bool& found) const;
    /// As getValue, printing " -> path <path> not found." on standard error when missing.
    nlohmann::json getRequiredValue(const std::string& path, bool& found) const;
    /// Member key of element index of the array at path; found = false when the array is too short, the element
    /// null or empty, or the member absent.
    nlohmann::json getValueFromArray(const std::string& path, const int& index, const std::string& key,
                                     bool& found) const;
    nlohmann::json getOptionalValueFromArray(const std::string& path, const int& index, const std::string& key,
                                             bool& found) const;
    nlohmann::json getRequiredValueFromArray(const std::string& path, const int& index, const std::string& key,
                                             bool& found) const;

    bool checkPaths(const std::vector<std::string>& paths) const override;
    int getArrayLength(const std::string& path, bool& found) const override;
    int getOptionalArrayLength(const std::string& path) const override;
    std::vector<std::string> getGroups(const std::string& path) const override;

    bool getBool(const std::string& path, bool& found) const override;
    int getInt(const std::string& path, bool& found) const override;
    double getDouble(const std::string& path, bool& found) const override;
    std::string getString(const std::string& path, bool& found) const override;
    std::vector<int> getIntList(const std::string& path, bool& found) const override;
    std::vector<double> getDoubleList(const std::string& path, bool& found) const override;
    std::vector<std::string> getStringList(const std::string& path, bool& found) const override;

    bool getOptionalBool(const std::string& path, const bool& def) const override;
    int getOptionalInt(const std::string& path, const int& def) const override;
    double getOptionalDouble(const std::string& path, const double& def) const override;
    std::string getOptionalString(const std::string& path, const std::string& def) const override;
    std::vector<int> getOptionalIntList(const std::string& path, const std::vector<int>& def) const override;
    std::vector<double> getOptionalDoubleList(const std::string& path, const std::vector<double>& def) const override;
    std::vector<std::string> getOptionalStringList(const std::string& path,
                                                   const std::vector<std::string>& def) const override;

    int getIntFromArray(const std::string& path, const int& index, const std::string& key, bool& found) const override;
    double getDoubleFromArray(const std::string& path, const int& index, const std::string& key,
                              bool& found) const override;
    std::string getStringFromArray(const std::string& path, const int& index, const std::string& key,
                                   bool& found) const override;
    std::vector<double> getValueListFromArray(const std::string& path, const int& index, const std::string& key,
                                              bool& found) const override;
    int getOptionalIntFromArray(const std::string& path, const int& index, const std::string& key,
                                const int& def) const override;
    double getOptionalDoubleFromArray(const std::string& path, const int& index, const std::string& key,
                                      const double& def) const override;
    std::string getOptionalStringFromArray(const std::string& path, const int& index, const std::string& key,
                                           const std::string& def) const override;
    std::vector<double> getOptionalValueListFromArray(const std::string& path, const int& index, const std::string& key,
                                                      const std::vector<double>& def) const override;
    std::string createPathWithinArray(const std::string& path, const int& index, const std::string& key) const override;

private:
    std::string fileName_;
    nlohmann::json document_;
};

}  // namespace dataio

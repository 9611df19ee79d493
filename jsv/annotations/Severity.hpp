// How serious a finding is: errors stop the program, warnings are printed, information is kept silently.
#pragma once

namespace jsv {

enum class Severity { Error = 0, Warning = 1, Information = 2 };

/// "Error: ", "Warning: ", or "" for information.
inline const char* severityPrefix(Severity severity)
{
    switch (severity) {
        case Severity::Error:
            return "Error: ";
        case Severity::Warning:
            return "Warning: ";
        default:
            return "";
    }
}

}  // namespace jsv

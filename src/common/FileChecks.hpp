// Checks of the files a program is about to write: never one of its own inputs, never one that another program
// holds open.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace hydrova {

/// Whether the two paths name the same file: the same text, or the same existing file (compared as files: links
/// and other spellings count).
bool sameFile(const std::string& a, const std::string& b);

/// Fatal (message, TerraException) when `output` is the same file as one of `inputs` (role, path): the run would
/// overwrite what it reads. `role` names the output in the message, e.g. "results file".
void refuseSameFile(const std::string& role, const std::string& output,
                    const std::vector<std::pair<std::string, std::string>>& inputs);

/// Fatal when the existing file `path` is open in another program that locked it (an HDF5 file being written or
/// read by a running simulation or viewer); nothing is changed. A file that does not exist passes. A file only to
/// be read (`writing` false) is refused only when another program writes it.
void refuseFileInUse(const std::string& path, bool writing = true);

/// Called after a write failure of the HDF5 library: the program's error exit then leaves the open files to the
/// system instead of letting the library close them again at exit, which crashes on a file whose close failed.
void abandonOpenFilesAtExit();
bool openFilesAbandoned();

}  // namespace hydrova

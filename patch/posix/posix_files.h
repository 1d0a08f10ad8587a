#pragma once
// The file operations the installer uses, on Linux paths made from Windows-style ones. Each refusal of
// the system becomes the RunError the Windows runtime would raise, naming the file concerned.
#include <string>

#include "patch/errors.h"
#include "patch/system.h"

namespace ludrimex::posix {

// Dir(path, attributes) for an exact path: the bare name when it exists and the attributes admit it
// (directories only with the directory attribute), otherwise "".
std::string dir(const std::string& path, int attributes);

// The RunError the Windows runtime would raise for the system error `error` on `path`.
RunError error_for(int error, const std::string& path);

// What `path` names, following links; never opens it.
FileKind file_kind(const std::string& path);

// Every byte of a regular file; a folder, FIFO or device is refused at once (75).
std::string read_file(const std::string& path);
// Replace `path` in one step through a file beside it renamed over it. A file nobody may write, or this
// user may not, or that is immutable, is refused (70) and left as it is; a replaced file keeps its
// permission bits. A new file made by copy_file gets the source's bits, one made by write_file the
// umask's default.
void write_file(const std::string& path, const std::string& bytes);
void copy_file(const std::string& from, const std::string& to);
void delete_file(const std::string& path);

}  // namespace ludrimex::posix

#pragma once
// The file operations the installer uses, on Linux paths made from Windows-style ones. Each refusal of
// the system becomes the RunError the Windows runtime would raise, naming the file concerned.
#include <string>

namespace ludrimex::posix {

// Dir(path, attributes) for an exact path: the bare name when it exists and the attributes admit it
// (directories only with the directory attribute), otherwise "".
std::string dir(const std::string& path, int attributes);

std::string read_file(const std::string& path);
void append_file(const std::string& path, const std::string& bytes);
void write_file(const std::string& path, const std::string& bytes);
void delete_file(const std::string& path);
// Replaces `to` as a whole (nothing half-copied is left behind) and keeps the executable bit.
void copy_file(const std::string& from, const std::string& to);

}  // namespace ludrimex::posix

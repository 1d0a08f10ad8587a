#pragma once
// File operations through the wide Win32 interfaces; failures throw RunError naming the file.
#include <string>

namespace ludrimex::windows {

// Dir(path, attributes): the first entry matching `path` whose hidden, system and directory
// attributes are all admitted by `attributes`; "" when there is none.
std::string find_first(const std::string& path, int attributes);

std::string read_whole_file(const std::string& path);
void append_to_file(const std::string& path, const std::string& bytes);
void replace_file_contents(const std::string& path, const std::string& bytes);
void delete_file(const std::string& path);
void copy_file(const std::string& from, const std::string& to);

}  // namespace ludrimex::windows

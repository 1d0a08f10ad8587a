#pragma once
// File operations through the wide Win32 interfaces; failures throw RunError naming the file.
#include <string>

namespace ludrimex::windows {

// `path` as the wide file functions take it: beyond MAX_PATH, its full "\\?\" form, which the
// system does not cut.
std::wstring file_path(const std::string& path);

// Dir(path, attributes): the first entry matching `path` whose hidden, system and directory
// attributes are all admitted by `attributes`; "" when there is none.
std::string find_first(const std::string& path, int attributes);

std::string read_whole_file(const std::string& path);
void append_to_file(const std::string& path, const std::string& bytes);
// Writes the whole new content beside `path` and puts it in its place in one step, keeping the old
// file's hidden and system attributes. A read-only file or one we may not write is error 70 with
// nothing changed.
void replace_file_contents(const std::string& path, const std::string& bytes);
void delete_file(const std::string& path);
void copy_file(const std::string& from, const std::string& to);

}  // namespace ludrimex::windows

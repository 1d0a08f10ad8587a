#pragma once
// File operations through the wide Win32 interfaces; failures throw RunError naming the file.
#include <string>

#include "patch/system.h"

namespace ludrimex::windows {

// `path` as the wide file functions take it: beyond MAX_PATH, its full "\\?\" form, which the
// system does not cut.
std::wstring file_path(const std::string& path);

// Dir(path, attributes): the first entry matching `path` whose hidden, system and directory
// attributes are all admitted by `attributes`; "" when there is none.
std::string find_first(const std::string& path, int attributes);

// What `path` names, whatever its attributes; never opens it.
FileKind kind_of(const std::string& path);
// "X:\..." or "\\server\..." (either separator): the same file whatever the current folder and drive.
bool is_absolute(const std::string& path);

// Each refuses a folder or device at once with error 75.
std::string read_whole_file(const std::string& path);
// Writes the whole new content beside `path` and puts it in its place in one step, keeping the old
// file's hidden and system attributes. A read-only file or one we may not write is error 70 with
// nothing changed.
void replace_file_contents(const std::string& path, const std::string& bytes);
void delete_file(const std::string& path);
// Copies through a file beside `to` replaced in one step, as above.
void copy_file(const std::string& from, const std::string& to);

}  // namespace ludrimex::windows

#pragma once
// The shell's own link object (CLSID_ShellLink) behind the installer's ShellLink.
#include <memory>
#include <span>
#include <string_view>

#include "patch/system.h"

namespace ludrimex::windows {

// A new shell link object with its IPersistFile; throws RunError when the shell can't make one.
std::unique_ptr<ShellLink> create_link_object();

// Writes `value` as UTF-8 and a NUL at the start of `buffer`, cut on a character boundary so that
// both fit; the rest of the buffer stays as it was.
void write_text(std::span<char> buffer, std::wstring_view value);

}  // namespace ludrimex::windows

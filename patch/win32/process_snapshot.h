#pragma once
// Tool Help's process list behind the installer's ProcessSnapshot.
#include <cstdint>
#include <memory>

#include "patch/system.h"

namespace ludrimex::windows {

// CreateToolhelp32Snapshot(flags, process_id); a snapshot that could not be taken lists nothing.
std::unique_ptr<ProcessSnapshot> create_tool_help_snapshot(std::uint32_t flags, std::uint32_t process_id);

}  // namespace ludrimex::windows

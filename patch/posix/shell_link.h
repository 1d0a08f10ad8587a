#pragma once
// The shell's link object, stood in for by our own reading of .lnk files.
#include <optional>

#include "patch/system.h"
#include "shell_link/link.h"

namespace ludrimex::stand_in {

class PosixShellLink : public ShellLink {
 public:
  Status load(const std::string& path, std::uint32_t mode) override;
  Status get_path(std::span<char> buffer, std::uint32_t flags) override;
  Status get_working_directory(std::span<char> buffer) override;
  Status get_arguments(std::span<char> buffer) override;
  Status get_description(std::span<char> buffer) override;
  Status get_hotkey(std::uint16_t& hotkey) override;
  Status get_icon_location(std::span<char> buffer, std::int32_t& index) override;
  Status get_id_list() override;
  Status get_show_cmd(std::int32_t& show_cmd) override;

 private:
  shell_link::Link link_;  // empty until a file is loaded, as a fresh link object is
};

}  // namespace ludrimex::stand_in

#pragma once
// Shell link (.lnk) files: decoding what Windows and others write, and writing our own shortcuts.
// Every string crosses this interface as UTF-8.
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace shell_link {

// A file that is not a shell link, or one whose structures do not fit inside it.
class FormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr std::uint32_t kShowNormal = 1;  // SW_SHOWNORMAL

// LinkFlags bits.
enum LinkFlag : std::uint32_t {
  kHasLinkTargetIdList = 0x1,
  kHasLinkInfo = 0x2,
  kHasName = 0x4,
  kHasRelativePath = 0x8,
  kHasWorkingDir = 0x10,
  kHasArguments = 0x20,
  kHasIconLocation = 0x40,
  kIsUnicode = 0x80,
  kForceNoLinkInfo = 0x100,
};

// Where the target lies, as LinkInfo records it.
struct LinkInfo {
  bool has_local_path = false;  // VolumeID and LocalBasePath are present
  std::uint32_t drive_type = 0;
  std::uint32_t drive_serial_number = 0;
  std::string volume_label;
  std::string local_base_path;
  bool has_network_path = false;  // a CommonNetworkRelativeLink is present
  std::string net_name;
  std::string device_name;
  std::string common_path_suffix;

  // The file-system path of the target ("" when there is none): the local path, or the UNC path when
  // there is no local one or `network_first` asks for it.
  std::string path(bool network_first = false) const;
};

// Everything a shortcut file says that a reader of its target needs.
struct Link {
  // Header.
  std::uint32_t link_flags = 0;
  std::uint32_t file_attributes = 0;
  std::uint64_t creation_time = 0;  // FILETIME values, as stored
  std::uint64_t access_time = 0;
  std::uint64_t write_time = 0;
  std::uint32_t file_size = 0;
  std::int32_t icon_index = 0;
  std::uint32_t show_command = 0;
  std::uint16_t hot_key = 0;

  LinkInfo info;  // empty when the file has none, or tells to ignore it

  // StringData.
  std::string name;
  std::string relative_path;
  std::string working_directory;
  std::string arguments;
  std::string icon_location;

  bool has(LinkFlag flag) const { return (link_flags & flag) != 0; }
};

// What our writer stores: a shortcut to a local file, shown normally, strings in Unicode.
struct NewLink {
  std::string target;  // written as LinkInfo's local base path
  std::string working_directory;
  std::string arguments;
  std::string icon_location;  // written, with icon_index, only when not empty
  std::int32_t icon_index = 0;
};

// Decodes a whole file. Throws FormatError when it is not a shell link or is cut short or damaged.
Link decode(std::span<const std::uint8_t> bytes);
// The bytes of a shell link file for `link`. Throws std::length_error for a string too long to store.
std::vector<std::uint8_t> encode(const NewLink& link);

// Reads and decodes the file at `path`; std::system_error when it can't be read, FormatError as above.
Link load(const std::string& path);
// Writes `link` to `path`, replacing it as a whole: a failed save leaves the old file (or none) behind.
// Throws std::system_error.
void save(const std::string& path, const NewLink& link);

}  // namespace shell_link

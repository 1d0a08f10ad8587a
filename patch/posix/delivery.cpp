#include "patch/posix/delivery.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "patch/errors.h"
#include "patch/posix/files.h"
#include "patch/posix/platform_system.h"
#include "patch/posix/toolkit_libraries.h"
#include "posix/file_io.h"
#include "posix/folders.h"

namespace ludrimex::stand_in {
namespace {

using ::posix::UniqueFd;

// The path by which this process reads the memory file `fd`, whatever becomes of any name.
std::string path_of(const UniqueFd& fd) {
  return "/proc/self/fd/" + std::to_string(fd.get());
}

// `bytes` in a memory file with the permission bits `mode`, sealed against any change.
UniqueFd sealed_copy(const std::string& file, const std::string& bytes, mode_t mode,
                     const std::string& path) {
  UniqueFd copy(::memfd_create(file.c_str(), MFD_CLOEXEC | MFD_ALLOW_SEALING));
  if (!copy) throw error_for(errno, path);
  reporting([&] { ::posix::write_all(copy.get(), bytes, path); });
  if (::fchmod(copy.get(), mode & 0777) != 0 ||
      ::fcntl(copy.get(), F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0) {
    throw error_for(errno, path);
  }
  return copy;
}

}  // namespace

std::optional<DeliveredFile> HeldDelivery::hold(const std::string& file) {
  const std::string path = (folder_ == "/" ? folder_ : folder_ + "/") + file;
  held_.erase(std::remove_if(held_.begin(), held_.end(), [&](const Held& h) { return h.file == file; }),
              held_.end());
  // O_NONBLOCK: a FIFO or a device is refused at once, never waited on.
  const UniqueFd source(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!source) {
    if (errno != ENOENT) throw error_for(errno, path);
    held_.push_back({file, UniqueFd()});
    return std::nullopt;
  }
  struct stat info {};
  if (::fstat(source.get(), &info) != 0) throw error_for(errno, path);
  if (!S_ISREG(info.st_mode)) throw RunError(kPathFileAccessError, path);
  DeliveredFile held{path, reporting([&] { return ::posix::read_all(source.get(), path); })};
  held_.push_back({file, sealed_copy(file, held.bytes, info.st_mode, path)});
  return held;
}

const HeldDelivery::Held* HeldDelivery::held(const std::string& path) const {
  if (::posix::folder_of(path) != folder_) return nullptr;
  const std::string file = ::posix::base_name(path);
  const auto found = std::find_if(held_.begin(), held_.end(), [&](const Held& h) {
    return ::strcasecmp(h.file.c_str(), file.c_str()) == 0;
  });
  return found == held_.end() ? nullptr : &*found;
}

std::string HeldDelivery::copy_source(const std::string& path) const {
  const Held* file = held(path);
  return file && file->sealed ? path_of(file->sealed) : path;
}

std::optional<std::string> HeldDelivery::library_source(const std::string& path) const {
  const Held* file = held(path);
  if (!file) return path;
  if (!file->sealed) return std::nullopt;
  return path_of(file->sealed);
}

std::optional<DeliveredFile> PosixSystem::hold_delivered_file(const std::string& name) {
  return delivery_.hold(shared_object_name(name));
}

}  // namespace ludrimex::stand_in

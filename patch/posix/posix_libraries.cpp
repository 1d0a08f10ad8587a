#include "patch/posix/posix_libraries.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>

#include "patch/errors.h"
#include "patch/posix/posix_paths.h"

namespace ludrimex::posix {
namespace {

bool ends_with_ignoring_case(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         std::equal(suffix.begin(), suffix.end(), text.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                    [](char a, char b) {
                      return std::tolower(static_cast<unsigned char>(a)) ==
                             std::tolower(static_cast<unsigned char>(b));
                    });
}

}  // namespace

std::string shared_object_name(const std::string& name) {
  std::string file = to_posix_path(name);
  if (ends_with_ignoring_case(file, ".dll")) return file.substr(0, file.size() - 4) + ".so";
  const auto slash = file.rfind('/');
  const std::string base = slash == std::string::npos ? file : file.substr(slash + 1);
  // Like LoadLibraryA, a name without an extension gets the platform's own.
  return base.find('.') == std::string::npos ? file + ".so" : file;
}

std::uintptr_t LibraryLoader::load(const std::string& name) const {
  if (name.empty()) return 0;
  const std::string file = shared_object_name(name);
  void* handle = nullptr;
  if (file.find('/') == std::string::npos)
    handle = ::dlopen((program_folder_ + "/" + file).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  return reinterpret_cast<std::uintptr_t>(handle);
}

void LibraryLoader::free(std::uintptr_t handle) const {
  if (handle != 0) ::dlclose(reinterpret_cast<void*>(handle));
}

void LibraryLoader::Closer::operator()(void* handle) const {
  ::dlclose(handle);
}

void* LibraryLoader::bind(const std::string& library, const char* entry) {
  auto found = bound_.find(library);
  if (found == bound_.end()) {
    Handle handle(reinterpret_cast<void*>(load(library)));
    if (!handle) throw RunError(kFileNotFound, library);
    found = bound_.emplace(library, std::move(handle)).first;
  }
  void* address = ::dlsym(found->second.get(), entry);
  if (!address) throw RunError(kDllEntryNotFound, library);
  return address;
}

}  // namespace ludrimex::posix

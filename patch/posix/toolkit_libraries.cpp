#include "patch/posix/toolkit_libraries.h"

#include <dlfcn.h>
#include <limits.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <optional>

#include "patch/errors.h"
#include "patch/posix/platform_system.h"
#include "posix/folders.h"
#include "shell_link/text_encoding.h"
#include "toolkit/entry.h"

namespace ludrimex::stand_in {
namespace {

bool ends_with_ignoring_case(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         std::equal(suffix.begin(), suffix.end(), text.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                    [](char a, char b) {
                      return std::tolower(static_cast<unsigned char>(a)) ==
                             std::tolower(static_cast<unsigned char>(b));
                    });
}

// The library shipped beside the installer: the only one taken from the program's folder.
bool is_shipped(const std::string& file) {
  return ::strcasecmp(file.c_str(), "STKIT432.so") == 0;
}

// The loader's search, which never looks in the program's folder. Its error text tells a missing file
// from a broken one, in the same words as strerror.
void* open_by_search(const std::string& file, bool& found) {
  ::dlerror();
  void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* error = ::dlerror();
    found = error && !std::strstr(error, std::strerror(ENOENT));
  }
  return handle;
}

}  // namespace

std::string shared_object_name(const std::string& name) {
  std::string file = ::posix::to_posix_path(name);
  if (ends_with_ignoring_case(file, ".dll")) return file.substr(0, file.size() - 4) + ".so";
  const auto slash = file.rfind('/');
  const std::string base = slash == std::string::npos ? file : file.substr(slash + 1);
  // Like LoadLibraryA, a name without an extension gets the platform's own.
  return base.find('.') == std::string::npos ? file + ".so" : file;
}

ToolkitLibraries::Opened ToolkitLibraries::open(const std::string& name) const {
  const std::string file = shared_object_name(name);
  Opened opened;
  if (file.empty() || file.find('/') != std::string::npos) return opened;  // a bare name, or nothing
  if (is_shipped(file)) {
    const std::string beside = program_folder_ + "/" + file;
    const std::optional<std::string> source = delivery_ ? delivery_->library_source(beside) : beside;
    struct stat info {};
    if (source && ::stat(source->c_str(), &info) == 0) {
      opened.found = true;
      opened.handle = ::dlopen(source->c_str(), RTLD_NOW | RTLD_LOCAL);
      return opened;
    }
  }
  opened.handle = open_by_search(file, opened.found);
  return opened;
}

std::uintptr_t ToolkitLibraries::load(const std::string& name) const {
  return reinterpret_cast<std::uintptr_t>(open(name).handle);
}

void ToolkitLibraries::free(std::uintptr_t handle) const {
  if (handle != 0) ::dlclose(reinterpret_cast<void*>(handle));
}

void ToolkitLibraries::Closer::operator()(void* handle) const {
  ::dlclose(handle);
}

void* ToolkitLibraries::entry(const std::string& library) {
  auto found = bound_.find(library);
  if (found == bound_.end()) {
    const Opened opened = open(library);
    Handle handle(opened.handle);
    if (!handle) throw RunError(opened.found ? kDllLoadError : kFileNotFound, library);
    found = bound_.emplace(library, std::move(handle)).first;
  }
  void* address = ::dlsym(found->second.get(), "fCreateShellLink");
  if (!address) throw RunError(kDllEntryNotFound, library);
  return address;
}

void PosixSystem::bind_toolkit(const std::string& library) {
  libraries_.entry(library);
}

// The toolkit libraries take UTF-8 paths: any valid text without a NUL that the file system can hold.
bool PosixSystem::toolkit_accepts(const std::string& text) {
  const auto units = shell_link::utf16le_from_utf8(text);
  return text.size() < PATH_MAX && text.find('\0') == std::string::npos &&
         shell_link::utf8_from_utf16le(units) == text;
}

// The entry of `library` in the form `Entry` of the call.
template <class Entry>
Entry entry_of(ToolkitLibraries& libraries, const std::string& library) {
  return reinterpret_cast<Entry>(libraries.entry(library));
}

std::int32_t PosixSystem::create_shell_link(const std::string& library, const std::string& gruppo,
                                            const std::string& titolo, const std::string& percorso,
                                            const std::string& argomenti) {
  return entry_of<toolkit::CreateShellLink>(libraries_, library)(gruppo.c_str(), titolo.c_str(),
                                                                 percorso.c_str(), argomenti.c_str());
}

std::int32_t PosixSystem::create_shell_link(const std::string& library, const std::string& gruppo,
                                            const std::string& titolo, const std::string& percorso,
                                            const std::string& argomenti, std::int32_t privato,
                                            const std::string& genitore) {
  return entry_of<toolkit::CreateShellLinkUnder>(libraries_, library)(
      gruppo.c_str(), titolo.c_str(), percorso.c_str(), argomenti.c_str(), privato, genitore.c_str());
}

std::uintptr_t PosixSystem::do_load_library(const std::string& name) {
  return libraries_.load(name);
}

void PosixSystem::do_free_library(std::uintptr_t handle) {
  libraries_.free(handle);
}

}  // namespace ludrimex::stand_in

#include "tests/wine/wine_support.h"

#include <knownfolders.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "win32/scoped.h"
#include "win32/text.h"

namespace wine_test {

namespace {
void check(HRESULT hr, const char* what) {
  if (FAILED(hr)) throw std::runtime_error(std::string(what) + " failed");
}
}  // namespace

fs::path built(const char* linux_path) {
  std::wstring path = L"Z:" + win32::to_wide(linux_path);
  for (auto& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
}

ScratchFolder::ScratchFolder(const std::wstring& name_hint) {
  static unsigned serial = 0;
  // Wine hands out the same process ids again, and a folder beyond MAX_PATH that a test made may
  // outlive its run: the time keeps the name apart from an earlier run's.
  path_ =
      fs::temp_directory_path() / (name_hint + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                   std::to_wstring(::GetTickCount64()) + L"-" + std::to_wstring(++serial));
  fs::remove_all(path_);
  fs::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

fs::path programs_folder() {
  PWSTR path = nullptr;
  const HRESULT hr = ::SHGetKnownFolderPath(FOLDERID_Programs, 0, nullptr, &path);
  win32::TaskMem owned(path);
  check(hr, "SHGetKnownFolderPath");
  return path;
}

Child::Child(const fs::path& program, const fs::path& current_directory, const std::wstring& arguments,
             int show) {
  std::wstring command_line = L"\"" + program.wstring() + L"\"";
  if (!arguments.empty()) command_line += L" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (show >= 0) {
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(show);
  }
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        current_directory.c_str(), &startup, &info)) {
    throw std::runtime_error("CreateProcessW failed for " + utf8(program.wstring()));
  }
  ::CloseHandle(info.hThread);
  process_.reset(info.hProcess);
  id_ = info.dwProcessId;
}

Child::~Child() {
  kill();
}

DWORD Child::wait(DWORD timeout_ms) {
  if (::WaitForSingleObject(process_.get(), timeout_ms) != WAIT_OBJECT_0) return STILL_ACTIVE;
  DWORD status = 0;
  ::GetExitCodeProcess(process_.get(), &status);
  return status;
}

void Child::kill() {
  if (::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
    ::TerminateProcess(process_.get(), 99);
    ::WaitForSingleObject(process_.get(), 10000);
  }
}

DWORD run(const fs::path& program, const fs::path& current_directory, const std::wstring& arguments) {
  Child child(program, current_directory, arguments);
  return child.wait();
}

LinkFields read_link(const fs::path& file) {
  const win32::ComInit com;
  win32::ComPtr<IShellLinkW> link;
  check(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void()),
        "CoCreateInstance");
  auto persist = link.as<IPersistFile>(IID_IPersistFile);
  check(persist->Load(file.c_str(), STGM_READ), "IPersistFile::Load");
  LinkFields fields;
  std::wstring text(32768, L'\0');
  const int size = static_cast<int>(text.size());
  check(link->GetPath(text.data(), size, nullptr, 0), "GetPath");
  fields.target = text.c_str();
  check(link->GetWorkingDirectory(text.data(), size), "GetWorkingDirectory");
  fields.working_directory = text.c_str();
  check(link->GetArguments(text.data(), size), "GetArguments");
  fields.arguments = text.c_str();
  return fields;
}

void write_link(const fs::path& file, const LinkSpec& spec) {
  const win32::ComInit com;
  win32::ComPtr<IShellLinkW> link;
  check(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void()),
        "CoCreateInstance");
  check(link->SetPath(spec.target.c_str()), "SetPath");
  check(link->SetWorkingDirectory(spec.working_directory.c_str()), "SetWorkingDirectory");
  check(link->SetArguments(spec.arguments.c_str()), "SetArguments");
  check(link->SetDescription(spec.description.c_str()), "SetDescription");
  check(link->SetIconLocation(spec.icon.c_str(), spec.icon_index), "SetIconLocation");
  check(link->SetHotkey(spec.hotkey), "SetHotkey");
  check(link->SetShowCmd(spec.show_cmd), "SetShowCmd");
  auto persist = link.as<IPersistFile>(IID_IPersistFile);
  check(persist->Save(file.c_str(), TRUE), "IPersistFile::Save");
}

std::string utf8(const std::wstring& text) {
  return win32::to_utf8(text);
}

std::string read_bytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_bytes(const fs::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

std::set<std::wstring> names_in(const fs::path& folder) {
  std::set<std::wstring> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().wstring());
  return names;
}

std::string today() {
  wchar_t text[80];
  ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, text, 80, nullptr);
  return utf8(text);
}

const std::array<std::pair<const wchar_t*, const wchar_t*>, 3> kCatalogueShortcuts{{
    {L"Veltrano Catalogo", L"Sorvanta.exe"},
    {L"Veltrano Aggiornamento", L"VeltranoCatalogoUpdate.exe"},
    {L"Veltrano Disinstallazione", L"VeltranoCatalogoUnistall.exe"},
}};

void write_catalogue_shortcuts(const fs::path& group, const fs::path& html) {
  for (const auto& [title, file] : kCatalogueShortcuts) {
    write_link(group / (std::wstring(title) + L".lnk"),
               {.target = (html / file).wstring(), .working_directory = html.wstring()});
  }
}

}  // namespace wine_test

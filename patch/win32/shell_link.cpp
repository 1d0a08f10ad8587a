#include <windows.h>  // first: the headers below need it

#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "patch/errors.h"
#include "patch/win32/platform_system.h"
#include "win32/scoped.h"
#include "win32/text.h"

namespace ludrimex::windows {
namespace {

// Room for any string a .lnk file can store (its counts are 16-bit).
constexpr int kWideCapacity = 65536;

class LinkObject final : public ShellLink {
 public:
  LinkObject(win32::ComPtr<IShellLinkW> link, win32::ComPtr<IPersistFile> file, FileAccess& access)
      : link_(std::move(link)), file_(std::move(file)), access_(access) {}

  // A shortcut the shell or an antivirus reads at this moment is read again, as any file the run
  // opens.
  Status load(const std::string& path, std::uint32_t mode) override {
    const std::wstring name = win32::to_wide(path);
    HRESULT hr = S_OK;
    access_.retried([&] {
      hr = file_->Load(name.c_str(), mode);
      if (hr == HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION) || hr == STG_E_SHAREVIOLATION) {
        return static_cast<DWORD>(ERROR_SHARING_VIOLATION);
      }
      if (hr == HRESULT_FROM_WIN32(ERROR_LOCK_VIOLATION) || hr == STG_E_LOCKVIOLATION) {
        return static_cast<DWORD>(ERROR_LOCK_VIOLATION);
      }
      return static_cast<DWORD>(ERROR_SUCCESS);
    });
    return hr;
  }

  Status get_path(std::span<char> buffer, std::uint32_t flags) override {
    WIN32_FIND_DATAW find_data{};
    return query_text(buffer,
                      [&](wchar_t* text, int size) { return link_->GetPath(text, size, &find_data, flags); });
  }

  Status get_working_directory(std::span<char> buffer) override {
    return query_text(buffer,
                      [&](wchar_t* text, int size) { return link_->GetWorkingDirectory(text, size); });
  }

  Status get_arguments(std::span<char> buffer) override {
    return query_text(buffer, [&](wchar_t* text, int size) { return link_->GetArguments(text, size); });
  }

  Status get_description(std::span<char> buffer) override {
    return query_text(buffer, [&](wchar_t* text, int size) { return link_->GetDescription(text, size); });
  }

  Status get_hotkey(std::uint16_t& hotkey) override {
    WORD value = 0;
    const HRESULT hr = link_->GetHotkey(&value);
    if (SUCCEEDED(hr)) hotkey = value;
    return hr;
  }

  Status get_icon_location(std::span<char> buffer, std::int32_t& index) override {
    int icon = 0;
    const HRESULT hr = query_text(
        buffer, [&](wchar_t* text, int size) { return link_->GetIconLocation(text, size, &icon); });
    if (SUCCEEDED(hr)) index = icon;
    return hr;
  }

  Status get_id_list() override {
    PIDLIST_ABSOLUTE list = nullptr;
    const HRESULT hr = link_->GetIDList(&list);
    win32::TaskMem owned(list);
    return hr;
  }

  Status get_show_cmd(std::int32_t& show_cmd) override {
    int value = 0;
    const HRESULT hr = link_->GetShowCmd(&value);
    if (SUCCEEDED(hr)) show_cmd = value;
    return hr;
  }

 private:
  // Asks the shell for a wide text and hands it over as UTF-8; the caller's buffer is touched
  // only when the query succeeded.
  template <class Query>
  HRESULT query_text(std::span<char> buffer, Query query) {
    // Room for the whole value, and never less than the caller's buffer.
    const int capacity = std::max(kWideCapacity, static_cast<int>(buffer.size()));
    std::wstring text(static_cast<std::size_t>(capacity), L'\0');
    const HRESULT hr = query(text.data(), capacity);
    if (FAILED(hr)) return hr;
    text.resize(std::wcslen(text.c_str()));
    write_link_text(buffer, win32::to_utf8(text));
    return hr;
  }

  win32::ComPtr<IShellLinkW> link_;
  win32::ComPtr<IPersistFile> file_;
  FileAccess& access_;
};

}  // namespace

std::unique_ptr<ShellLink> WindowsSystem::create_link_object() {
  win32::ComPtr<IShellLinkW> link;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.put_void()))) {
    throw RunError(kCantCreateObject);
  }
  auto file = link.as<IPersistFile>(IID_IPersistFile);
  if (!file) throw RunError(kCantCreateObject);
  return std::make_unique<LinkObject>(std::move(link), std::move(file), access_);
}

}  // namespace ludrimex::windows

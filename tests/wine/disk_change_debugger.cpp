#include "tests/wine/disk_change_debugger.h"

#include <winternl.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <stdexcept>

#include "tests/wine/wine_support.h"
#include "win32/scoped.h"

namespace wine_test {
namespace {

using Address = std::uintptr_t;

// Classes of NtSetInformationFile that mingw-w64's winternl.h lacks.
constexpr ULONG kFileDispositionInformationEx = 64, kFileRenameInformationEx = 65,
                kFileLinkInformationEx = 72;
constexpr ULONG kFileDispositionDelete = 1;

constexpr BYTE kInt3 = 0xcc;
constexpr DWORD kWow64Breakpoint = 0x4000001f;  // the loader's, in a 32-bit process on 64-bit Windows

// Every NT call of ntdll starts with the same instruction, on Windows as under Wine. The debugger
// performs it itself in place of the breakpoint put over it: no byte is ever put back, so no thread
// slips past a breakpoint while another one stops there.
#if defined(_WIN64)
using StubStart = std::array<BYTE, 3>;
constexpr StubStart kMovR10Rcx = {0x4c, 0x8b, 0xd1};
#else
using StubStart = std::array<BYTE, 5>;
constexpr BYTE kMovEax = 0xb8;  // mov eax, the call's number
#endif

enum class Call { kCreateFile, kOpenFile, kWriteFile, kSetInformationFile, kDeleteFile, kClose };

struct Hook {
  const char* name;
  Call call;
  Address address = 0;
  StubStart start{};
};

std::string hex(Address value) {
  char text[24];
  std::snprintf(text, sizeof text, "%#llx", static_cast<unsigned long long>(value));
  return text;
}

void read_memory(HANDLE process, Address address, void* into, std::size_t size) {
  SIZE_T done = 0;
  if (!::ReadProcessMemory(process, reinterpret_cast<const void*>(address), into, size, &done) ||
      done != size)
    throw std::runtime_error("ReadProcessMemory failed at " + hex(address));
}

template <class T>
T read(HANDLE process, Address address) {
  T value{};
  read_memory(process, address, &value, sizeof value);
  return value;
}

std::wstring read_text(HANDLE process, Address address, std::size_t bytes) {
  std::wstring text(bytes / sizeof(wchar_t), L'\0');
  if (!text.empty()) read_memory(process, address, text.data(), text.size() * sizeof(wchar_t));
  return text;
}

void write_memory(HANDLE process, Address address, const void* bytes, std::size_t size) {
  SIZE_T done = 0;
  if (!::WriteProcessMemory(process, reinterpret_cast<void*>(address), bytes, size, &done) || done != size)
    throw std::runtime_error("WriteProcessMemory failed at " + hex(address));
}

void write_code(HANDLE process, Address address, const void* bytes, std::size_t size) {
  DWORD protection = 0;
  if (!::VirtualProtectEx(process, reinterpret_cast<void*>(address), size, PAGE_EXECUTE_READWRITE,
                          &protection))
    throw std::runtime_error("VirtualProtectEx failed at " + hex(address));
  write_memory(process, address, bytes, size);
  ::VirtualProtectEx(process, reinterpret_cast<void*>(address), size, protection, &protection);
  ::FlushInstructionCache(process, reinterpret_cast<void*>(address), size);
}

// "\??\C:\x" is "C:\x", "\??\UNC\server\x" is "\\server\x".
std::wstring win32_name(const std::wstring& nt_name) {
  if (nt_name.starts_with(L"\\??\\UNC\\")) return L"\\" + nt_name.substr(7);
  if (nt_name.starts_with(L"\\??\\")) return nt_name.substr(4);
  return nt_name;
}

bool within(const std::wstring& file, const std::wstring& folder) {
  const int size = static_cast<int>(folder.size());
  return file.size() > folder.size() && file[folder.size()] == L'\\' &&
         ::CompareStringOrdinal(file.data(), size, folder.data(), size, TRUE) == CSTR_EQUAL;
}

// The calls of NtSetInformationFile that change a file, and what they leave.
struct InformationClass {
  ULONG number;
  const char* name;
  Effect effect;
};
constexpr std::array<InformationClass, 11> kChangingClasses{{
    {FileBasicInformation, "FileBasicInformation", Effect::kOther},
    {FileRenameInformation, "FileRenameInformation", Effect::kRenamed},
    {kFileRenameInformationEx, "FileRenameInformationEx", Effect::kRenamed},
    {FileLinkInformation, "FileLinkInformation", Effect::kOther},
    {kFileLinkInformationEx, "FileLinkInformationEx", Effect::kOther},
    {FileDispositionInformation, "FileDispositionInformation", Effect::kDeleted},
    {kFileDispositionInformationEx, "FileDispositionInformationEx", Effect::kDeleted},
    {FileAllocationInformation, "FileAllocationInformation", Effect::kOther},
    {FileEndOfFileInformation, "FileEndOfFileInformation", Effect::kOther},
    {FileValidDataLengthInformation, "FileValidDataLengthInformation", Effect::kOther},
    {FileShortNameInformation, "FileShortNameInformation", Effect::kOther},
}};

// A stopped thread's registers, with the arguments of the call it is entering.
class Registers {
 public:
  Registers(HANDLE process, HANDLE thread) : process_(process), thread_(thread) {
    context_.ContextFlags = CONTEXT_CONTROL | CONTEXT_INTEGER;
    if (!::GetThreadContext(thread, &context_)) throw std::runtime_error("GetThreadContext failed");
  }
  // Argument `index` (from 0) on entry: x86_64 passes four in rcx, rdx, r8 and r9 and the others
  // above the return address and those four's home (rsp+0x28 on); i686 stdcall all of them above the
  // return address (esp+4 on).
  Address argument(int index) const {
#if defined(_WIN64)
    switch (index) {
      case 0:
        return context_.Rcx;
      case 1:
        return context_.Rdx;
      case 2:
        return context_.R8;
      case 3:
        return context_.R9;
      default:
        return read<Address>(process_, context_.Rsp + 8 * (index + 1));
    }
#else
    return read<Address>(process_, context_.Esp + 4 * (index + 1));
#endif
  }
  // A 32-bit argument: on x86_64 the upper half of its register or slot is undefined.
  ULONG ulong_argument(int index) const {
    return static_cast<ULONG>(argument(index));
  }
#if defined(_WIN64)
  Address stack() const {
    return context_.Rsp;
  }
  NTSTATUS result() const {
    return static_cast<NTSTATUS>(context_.Rax);
  }
  void jump(Address to) {
    context_.Rip = to;
  }
  void perform_start(const Hook& hook) {
    context_.R10 = context_.Rcx;
    context_.Rip = hook.address + hook.start.size();
  }
#else
  Address stack() const {
    return context_.Esp;
  }
  NTSTATUS result() const {
    return static_cast<NTSTATUS>(context_.Eax);
  }
  void jump(Address to) {
    context_.Eip = to;
  }
  void perform_start(const Hook& hook) {
    DWORD number = 0;
    std::memcpy(&number, hook.start.data() + 1, sizeof number);
    context_.Eax = number;
    context_.Eip = hook.address + hook.start.size();
  }
#endif
  void save() {
    if (!::SetThreadContext(thread_, &context_)) throw std::runtime_error("SetThreadContext failed");
  }

 private:
  HANDLE process_;
  HANDLE thread_;
  CONTEXT context_{};
};

// A call stopped at its entry, on its way back through the trampoline.
struct Pending {
  Address return_address = 0;
  Address handle_out = 0;    // an open's: where it writes the handle
  Address status_block = 0;  // NtCreateFile's: where it says whether it made or opened the file
  bool delete_on_close = false;
  DiskChange change;  // what the call changes when it succeeds (for an open, the name)
};

class Debugger {
 public:
  Debugger(HANDLE process, const std::vector<fs::path>& watched, std::size_t kill_after)
      : process_(process), kill_after_(kill_after) {
    for (const fs::path& folder : watched) {
      std::wstring name = folder.wstring();
      while (name.ends_with(L'\\')) name.pop_back();
      watched_.push_back(name);
    }
  }

  DebuggedRun run() {
    for (;;) {
      DEBUG_EVENT event{};
      if (!::WaitForDebugEvent(&event, 60000)) throw std::runtime_error("no debug event for a minute");
      DWORD answer = DBG_CONTINUE;
      switch (event.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
          if (event.u.CreateProcessInfo.hFile) ::CloseHandle(event.u.CreateProcessInfo.hFile);
          threads_[event.dwThreadId] = event.u.CreateProcessInfo.hThread;
          break;
        case CREATE_THREAD_DEBUG_EVENT:
          threads_[event.dwThreadId] = event.u.CreateThread.hThread;
          break;
        case EXIT_THREAD_DEBUG_EVENT:
          threads_.erase(event.dwThreadId);
          break;
        case LOAD_DLL_DEBUG_EVENT:
          if (event.u.LoadDll.hFile) ::CloseHandle(event.u.LoadDll.hFile);
          // The program's ntdll is this one's, at the same place: a boot maps it alike everywhere.
          if (!trampoline_ && event.u.LoadDll.lpBaseOfDll == ::GetModuleHandleW(L"ntdll.dll")) hook_ntdll();
          break;
        case EXCEPTION_DEBUG_EVENT:
          answer = on_exception(event.u.Exception.ExceptionRecord, event.dwThreadId);
          break;
        case EXIT_PROCESS_DEBUG_EVENT:
          run_.exit_code = event.u.ExitProcess.dwExitCode;
          ::ContinueDebugEvent(event.dwProcessId, event.dwThreadId, DBG_CONTINUE);
          return std::move(run_);
        default:
          break;
      }
      if (!::ContinueDebugEvent(event.dwProcessId, event.dwThreadId, answer))
        throw std::runtime_error("ContinueDebugEvent failed");
    }
  }

 private:
  void hook_ntdll() {
    for (Hook& hook : hooks_) {
      hook.address = reinterpret_cast<Address>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), hook.name));
      if (!hook.address) throw std::runtime_error(std::string("ntdll has no ") + hook.name);
      hook.start = read<StubStart>(process_, hook.address);
#if defined(_WIN64)
      const bool known = hook.start == kMovR10Rcx;
#else
      const bool known = hook.start[0] == kMovEax;
#endif
      if (!known ||
          std::memcmp(hook.start.data(), reinterpret_cast<const void*>(hook.address), hook.start.size()))
        throw std::runtime_error(std::string("an unknown first instruction in the program's ") + hook.name);
    }
    for (const Hook& hook : hooks_) write_code(process_, hook.address, &kInt3, 1);
    trampoline_ = reinterpret_cast<Address>(
        ::VirtualAllocEx(process_, nullptr, 1, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
    if (!trampoline_) throw std::runtime_error("VirtualAllocEx failed");
    write_code(process_, trampoline_, &kInt3, 1);
  }

  DWORD on_exception(const EXCEPTION_RECORD& record, DWORD thread_id) {
    // The program's own (C++ exceptions among them) are its business.
    if (record.ExceptionCode == kWow64Breakpoint) return DBG_CONTINUE;
    if (record.ExceptionCode != EXCEPTION_BREAKPOINT) return DBG_EXCEPTION_NOT_HANDLED;
    if (run_.killed) return DBG_CONTINUE;
    const auto address = reinterpret_cast<Address>(record.ExceptionAddress);
    if (address && address == trampoline_) {
      Registers registers(process_, thread(thread_id));
      on_return(registers, thread_id);
      return DBG_CONTINUE;
    }
    for (const Hook& hook : hooks_) {
      if (address && hook.address == address) {
        Registers registers(process_, thread(thread_id));
        on_entry(hook, registers, thread_id);
        return DBG_CONTINUE;
      }
    }
    // The loader's breakpoint, once the program's libraries are in: ours must be in place by then.
    if (!trampoline_) throw std::runtime_error("the program's ntdll was not where this process has its own");
    return DBG_CONTINUE;
  }

  HANDLE thread(DWORD id) const {
    const auto found = threads_.find(id);
    if (found == threads_.end()) throw std::runtime_error("a breakpoint in an unknown thread");
    return found->second;
  }

  // A call the program enters: those that may change a watched file come back through the
  // trampoline, in place of their return address.
  void on_entry(const Hook& hook, Registers& registers, DWORD thread_id) {
    std::optional<Pending> call = entered(hook, registers);
    registers.perform_start(hook);
    if (call) {
      call->return_address = read<Address>(process_, registers.stack());
      write_memory(process_, registers.stack(), &trampoline_, sizeof trampoline_);
      pending_[thread_id].push_back(std::move(*call));
    }
    registers.save();
  }

  std::optional<Pending> entered(const Hook& hook, const Registers& registers) {
    switch (hook.call) {
      case Call::kCreateFile:
      case Call::kOpenFile: {
        const std::wstring file = object_name(registers.argument(2));
        if (!watched(file)) return std::nullopt;
        const ULONG options = registers.ulong_argument(hook.call == Call::kCreateFile ? 8 : 5);
        return Pending{.handle_out = registers.argument(0),
                       .status_block = hook.call == Call::kCreateFile ? registers.argument(3) : 0,
                       .delete_on_close = (options & FILE_DELETE_ON_CLOSE) != 0,
                       .change = {Effect::kOther, hook.name, file}};
      }
      case Call::kWriteFile: {
        const auto file = handles_.find(reinterpret_cast<HANDLE>(registers.argument(0)));
        if (file == handles_.end()) return std::nullopt;
        return Pending{.change = {Effect::kOther,
                                  "NtWriteFile " + std::to_string(registers.ulong_argument(6)) + " bytes",
                                  file->second}};
      }
      case Call::kSetInformationFile: {
        const auto file = handles_.find(reinterpret_cast<HANDLE>(registers.argument(0)));
        if (file == handles_.end()) return std::nullopt;
        return information_set(file->second, registers.argument(2), registers.ulong_argument(4));
      }
      case Call::kDeleteFile: {
        const std::wstring file = object_name(registers.argument(0));
        if (!watched(file)) return std::nullopt;
        return Pending{.change = {Effect::kDeleted, hook.name, file}};
      }
      case Call::kClose:
        // Its number may come back for another file.
        handles_.erase(reinterpret_cast<HANDLE>(registers.argument(0)));
        return std::nullopt;
    }
    return std::nullopt;
  }

  std::optional<Pending> information_set(const std::wstring& file, Address information, ULONG number) const {
    const auto found = std::find_if(kChangingClasses.begin(), kChangingClasses.end(),
                                    [&](const InformationClass& row) { return row.number == number; });
    if (found == kChangingClasses.end()) return std::nullopt;
    DiskChange change{found->effect, std::string("NtSetInformationFile ") + found->name, file};
    if (number == FileDispositionInformation && !read<BOOLEAN>(process_, information))
      change.effect = Effect::kOther;
    if (number == kFileDispositionInformationEx &&
        !(read<ULONG>(process_, information) & kFileDispositionDelete))
      change.effect = Effect::kOther;
    if (number == FileRenameInformation || number == kFileRenameInformationEx ||
        number == FileLinkInformation || number == kFileLinkInformationEx) {
      // The Ex forms have flags in place of the boolean, at the same places.
      const auto header = read<FILE_RENAME_INFORMATION>(process_, information);
      const std::wstring name = read_text(process_, information + offsetof(FILE_RENAME_INFORMATION, FileName),
                                          header.FileNameLength);
      change.target = relative_to(header.RootDirectory, name);
    }
    return Pending{.change = change};
  }

  void on_return(Registers& registers, DWORD thread_id) {
    auto& calls = pending_[thread_id];
    if (calls.empty()) throw std::runtime_error("a return through the trampoline without a call");
    Pending call = std::move(calls.back());
    calls.pop_back();
    registers.jump(call.return_address);
    registers.save();
    if (registers.result() < 0) return;  // failed: nothing changed
    if (call.handle_out) {
      handles_[read<HANDLE>(process_, call.handle_out)] = call.change.file;
      const ULONG_PTR made =
          call.status_block ? read<IO_STATUS_BLOCK>(process_, call.status_block).Information : FILE_OPENED;
      if (call.delete_on_close) {
        // Gone when its handle closes, and so when the program is killed; one it made is no change then.
        call.change.call += " delete-on-close";
        call.change.effect = made == FILE_OPENED ? Effect::kDeleted : Effect::kOther;
      } else if (made != FILE_OPENED) {
        call.change.call += made == FILE_CREATED ? " created" : " overwritten";
        call.change.effect = Effect::kCreated;
      } else {
        return;
      }
    }
    run_.changes.push_back(call.change);
    if (run_.changes.size() == kill_after_) {
      if (!::TerminateProcess(process_, kKilledExitCode)) throw std::runtime_error("TerminateProcess failed");
      run_.killed = true;
    }
  }

  // The Win32 name of a file an OBJECT_ATTRIBUTES names; "" for one relative to an unknown folder.
  std::wstring object_name(Address attributes_address) const {
    if (!attributes_address) return {};
    const auto attributes = read<OBJECT_ATTRIBUTES>(process_, attributes_address);
    if (!attributes.ObjectName) return {};
    const auto name = read<UNICODE_STRING>(process_, reinterpret_cast<Address>(attributes.ObjectName));
    return relative_to(attributes.RootDirectory,
                       read_text(process_, reinterpret_cast<Address>(name.Buffer), name.Length));
  }

  std::wstring relative_to(HANDLE root, const std::wstring& name) const {
    if (!root) return win32_name(name);
    const auto folder = handles_.find(root);
    return folder == handles_.end() ? std::wstring() : folder->second + L"\\" + name;
  }

  bool watched(const std::wstring& file) const {
    return std::any_of(watched_.begin(), watched_.end(),
                       [&](const std::wstring& folder) { return within(file, folder); });
  }

  HANDLE process_;
  std::vector<std::wstring> watched_;
  std::size_t kill_after_;
  std::array<Hook, 6> hooks_{{{"NtCreateFile", Call::kCreateFile},
                              {"NtOpenFile", Call::kOpenFile},
                              {"NtWriteFile", Call::kWriteFile},
                              {"NtSetInformationFile", Call::kSetInformationFile},
                              {"NtDeleteFile", Call::kDeleteFile},
                              {"NtClose", Call::kClose}}};
  Address trampoline_ = 0;
  std::map<DWORD, HANDLE> threads_;                // the debug events' own handles
  std::map<DWORD, std::vector<Pending>> pending_;  // by thread
  std::map<HANDLE, std::wstring> handles_;         // the program's handles to watched files and folders
  DebuggedRun run_;
};

}  // namespace

std::string DiskChange::text() const {
  return call + " " + utf8(file) + (target.empty() ? "" : " -> " + utf8(target));
}

DebuggedRun run_debugged(const fs::path& program, const fs::path& current_directory,
                         const std::vector<fs::path>& watched, std::size_t kill_after) {
  std::wstring command_line = L"\"" + program.wstring() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, FALSE,
                        DEBUG_ONLY_THIS_PROCESS, nullptr, current_directory.c_str(), &startup, &info)) {
    throw std::runtime_error("CreateProcessW failed for " + utf8(program.wstring()));
  }
  const win32::ObjectHandle process(info.hProcess), thread(info.hThread);
  Debugger debugger(info.hProcess, watched, kill_after);
  try {
    DebuggedRun run = debugger.run();
    // Its exit reported, its handles may still be closing: the next run must not meet them.
    ::WaitForSingleObject(info.hProcess, 10000);
    return run;
  } catch (...) {
    ::TerminateProcess(info.hProcess, kKilledExitCode);
    ::DebugActiveProcessStop(info.dwProcessId);
    throw;
  }
}

}  // namespace wine_test

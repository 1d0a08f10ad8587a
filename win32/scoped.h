#pragma once
// Owners for the Win32 and COM resources our Windows code holds: each closes or releases exactly once,
// moves but never copies. Used by both programs' win32/ layers and the toolkit DLLs.
#include <windows.h>  // first: the headers below need it

#include <objbase.h>
#include <ole2.h>
#include <oleauto.h>

#include <utility>

namespace win32 {

// A handle-like value with a "no handle" state and a close function, given by Traits:
//   static Handle invalid();  static void close(Handle);
template <class Traits>
class Unique {
 public:
  using Handle = decltype(Traits::invalid());

  Unique() = default;
  explicit Unique(Handle h) : h_(h) {}
  Unique(Unique&& other) noexcept : h_(other.release()) {}
  Unique& operator=(Unique&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;
  ~Unique() { reset(); }

  Handle get() const { return h_; }
  explicit operator bool() const { return h_ != Traits::invalid(); }
  Handle release() { return std::exchange(h_, Traits::invalid()); }
  void reset(Handle h = Traits::invalid()) {
    Handle old = std::exchange(h_, h);
    if (old != Traits::invalid()) Traits::close(old);
  }

 private:
  Handle h_ = Traits::invalid();
};

struct KernelHandleTraits {  // CreateFileW, CreateToolhelp32Snapshot: INVALID_HANDLE_VALUE on failure
  static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
  static void close(HANDLE h) { ::CloseHandle(h); }
};
struct ObjectHandleTraits {  // CreateProcessW, CreateEventW...: nullptr on failure
  static HANDLE invalid() { return nullptr; }
  static void close(HANDLE h) { ::CloseHandle(h); }
};
struct FindHandleTraits {
  static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
  static void close(HANDLE h) { ::FindClose(h); }
};
struct LibraryTraits {
  static HMODULE invalid() { return nullptr; }
  static void close(HMODULE h) { ::FreeLibrary(h); }
};
struct FontTraits {
  static HFONT invalid() { return nullptr; }
  static void close(HFONT h) { ::DeleteObject(h); }
};
struct TaskMemTraits {  // PWSTR and PIDLs handed out by the shell
  static void* invalid() { return nullptr; }
  static void close(void* p) { ::CoTaskMemFree(p); }
};

using KernelHandle = Unique<KernelHandleTraits>;
using ObjectHandle = Unique<ObjectHandleTraits>;
using FindHandle = Unique<FindHandleTraits>;
using Library = Unique<LibraryTraits>;
using Font = Unique<FontTraits>;
using TaskMem = Unique<TaskMemTraits>;

// A counted reference to a COM interface.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes over a reference the caller already owns.
  static ComPtr adopt(T* p) {
    ComPtr c;
    c.p_ = p;
    return c;
  }
  // Adds a reference of its own.
  static ComPtr share(T* p) {
    if (p) p->AddRef();
    return adopt(p);
  }
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }
  ComPtr(const ComPtr&) = delete;  // a second reference is taken with share(), in plain sight
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() { reset(); }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  void reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  // For out-parameters: releases what is held and hands the slot to the callee.
  T** put() {
    reset();
    return &p_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }
  // Hands the reference to the caller (for out-parameters of our own COM methods).
  T* detach() { return std::exchange(p_, nullptr); }

  // QueryInterface for another interface of the same object; empty when it has none.
  template <class U>
  ComPtr<U> as(REFIID iid) const {
    ComPtr<U> other;
    if (p_) p_->QueryInterface(iid, other.put_void());
    return other;
  }

 private:
  T* p_ = nullptr;
};

// COM initialised on this thread for the owner's lifetime (balanced only when it succeeded).
class ComInit {
 public:
  explicit ComInit(DWORD model = COINIT_APARTMENTTHREADED) : hr_(::CoInitializeEx(nullptr, model)) {}
  ComInit(const ComInit&) = delete;
  ComInit& operator=(const ComInit&) = delete;
  ~ComInit() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }
  HRESULT result() const { return hr_; }

 private:
  HRESULT hr_;
};

// OLE (COM plus the clipboard, drag and drop and in-place activation) for the owner's lifetime.
class OleInit {
 public:
  OleInit() : hr_(::OleInitialize(nullptr)) {}
  OleInit(const OleInit&) = delete;
  OleInit& operator=(const OleInit&) = delete;
  ~OleInit() {
    if (SUCCEEDED(hr_)) ::OleUninitialize();
  }
  HRESULT result() const { return hr_; }

 private:
  HRESULT hr_;
};

// A VARIANT cleared when it goes.
class Variant {
 public:
  Variant() { ::VariantInit(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { ::VariantClear(&v_); }
  VARIANT* get() { return &v_; }
  VARIANT* operator->() { return &v_; }

 private:
  VARIANT v_;
};

// A BSTR freed when it goes.
class Bstr {
 public:
  explicit Bstr(const wchar_t* text) : s_(::SysAllocString(text)) {}
  Bstr(Bstr&& other) noexcept : s_(std::exchange(other.s_, nullptr)) {}
  Bstr& operator=(Bstr&&) = delete;
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { ::SysFreeString(s_); }
  BSTR get() const { return s_; }

 private:
  BSTR s_;
};

}  // namespace win32

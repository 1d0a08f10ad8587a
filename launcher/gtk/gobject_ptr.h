#pragma once
// Ownership of GObject references, signal connections and the GLib values the launcher keeps.
#include <glib-object.h>

#include <memory>
#include <string>
#include <utility>

namespace sorvanta::gtk {

// One strong reference to a GObject. Taking a floating object (a fresh widget) sinks it, so the
// pointer owns the widget whether or not a container also holds it.
template <class T>
class GObjectPtr {
 public:
  GObjectPtr() = default;
  explicit GObjectPtr(T* object) : object_(object) {
    if (object_ != nullptr) g_object_ref_sink(object_);
  }
  GObjectPtr(GObjectPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  GObjectPtr& operator=(GObjectPtr&& other) noexcept {
    if (this != &other) {
      reset();
      object_ = std::exchange(other.object_, nullptr);
    }
    return *this;
  }
  GObjectPtr(const GObjectPtr&) = delete;
  GObjectPtr& operator=(const GObjectPtr&) = delete;
  ~GObjectPtr() { reset(); }

  // Adopt a reference the caller already owns (a "transfer full" return that is not floating).
  static GObjectPtr adopt(T* object) {
    GObjectPtr p;
    p.object_ = object;
    return p;
  }

  T* get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  void reset() {
    if (object_ != nullptr) g_object_unref(std::exchange(object_, nullptr));
  }

 private:
  T* object_ = nullptr;
};

// A signal handler connected for as long as this object lives. The instance must outlive it (hold a
// GObjectPtr to it, declared before the connection).
class SignalConnection {
 public:
  SignalConnection() = default;
  SignalConnection(gpointer instance, const char* signal, GCallback callback, gpointer data)
      : instance_(instance), id_(g_signal_connect(instance, signal, callback, data)) {}
  SignalConnection(SignalConnection&& other) noexcept
      : instance_(std::exchange(other.instance_, nullptr)), id_(std::exchange(other.id_, 0)) {}
  SignalConnection& operator=(SignalConnection&& other) noexcept {
    if (this != &other) {
      disconnect();
      instance_ = std::exchange(other.instance_, nullptr);
      id_ = std::exchange(other.id_, 0);
    }
    return *this;
  }
  SignalConnection(const SignalConnection&) = delete;
  SignalConnection& operator=(const SignalConnection&) = delete;
  ~SignalConnection() { disconnect(); }

  // Destroying a widget already disconnects everything from it: then there is nothing left to do.
  void disconnect() {
    gpointer instance = std::exchange(instance_, nullptr);
    const gulong id = std::exchange(id_, 0);
    if (id != 0 && g_signal_handler_is_connected(instance, id)) g_signal_handler_disconnect(instance, id);
  }

 private:
  gpointer instance_ = nullptr;
  gulong id_ = 0;
};

// A string GLib allocated; freed with g_free.
struct GFreeText {
  void operator()(gchar* text) const { g_free(text); }
};
using OwnedText = std::unique_ptr<gchar, GFreeText>;

struct GUriUnref {
  void operator()(GUri* uri) const { g_uri_unref(uri); }
};
using ParsedUri = std::unique_ptr<GUri, GUriUnref>;

// `uri` taken apart, its escapes kept; empty when it is no address.
inline ParsedUri parse_uri(const std::string& uri) {
  return ParsedUri(g_uri_parse(uri.c_str(), G_URI_FLAGS_ENCODED, nullptr));
}

}  // namespace sorvanta::gtk

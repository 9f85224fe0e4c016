// Loading the plug-in library the way the host does.
#include <cstring>

#include "testhost/Effect.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace testhost {
namespace {

#ifdef _WIN32
std::string lastErrorText() {
  const DWORD code = GetLastError();
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  std::string message =
      length != 0 && text != nullptr ? std::string(text, length) : "error " + std::to_string(code);
  LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
    message.pop_back();
  }
  return message;
}

void* openLibrary(std::string const& path) {
  return reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
}
void closeLibrary(void* library) {
  FreeLibrary(reinterpret_cast<HMODULE>(library));
}

template <typename F>
F findSymbol(void* library, char const* name, std::string& error) {
  FARPROC symbol = GetProcAddress(reinterpret_cast<HMODULE>(library), name);
  if (symbol == nullptr) {
    error = lastErrorText();
    return nullptr;
  }
  F f;
  static_assert(sizeof f == sizeof symbol, "function pointer sizes");
  std::memcpy(&f, &symbol, sizeof f);
  return f;
}
#else
std::string lastErrorText() {
  char const* text = dlerror();
  return text != nullptr ? text : "unknown loader error";
}

void* openLibrary(std::string const& path) {
  return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}
void closeLibrary(void* library) {
  dlclose(library);
}

template <typename F>
F findSymbol(void* library, char const* name, std::string& error) {
  dlerror();
  void* symbol = dlsym(library, name);
  if (symbol == nullptr) {
    error = lastErrorText();
    return nullptr;
  }
  F f;
  static_assert(sizeof f == sizeof symbol, "function pointer sizes");
  std::memcpy(&f, &symbol, sizeof f);
  return f;
}
#endif

}  // namespace

Plugin::Plugin(std::string const& path) : path_(path) {
  library_ = openLibrary(path);
  if (library_ == nullptr) {
    throw LoadError("cannot load " + path + ": " + lastErrorText());
  }
  std::string error;
  effectMain_ = findSymbol<PF_EffectMainFunc>(library_, "EffectMain", error);
  if (effectMain_ != nullptr) {
    pluginDataEntry_ = findSymbol<PF_PluginDataEntryFunc>(library_, "PluginDataEntryFunction", error);
  }
  if (effectMain_ == nullptr || pluginDataEntry_ == nullptr) {
    closeLibrary(library_);
    throw LoadError(path + " lacks an entry point: " + error);
  }
}

Plugin::~Plugin() {
  closeLibrary(library_);
}

void* Plugin::symbol(char const* name) const {
  std::string error;
  return findSymbol<void*>(library_, name, error);
}

}  // namespace testhost

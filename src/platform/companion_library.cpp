#include "platform/companion_library.h"

#include <dlfcn.h>

#include "platform/files.h"

namespace adw::platform {

CompanionLibrary::~CompanionLibrary() {
  Release();
}

#ifndef ADWELD_COMPANION_DIR
#define ADWELD_COMPANION_DIR ""
#endif

std::string CompanionLibrary::DefaultPath() {
  const std::string beside = JoinPath(ProgramDirectory(), "libbanrun.so");
  // An installed program finds it in its private library folder, named
  // relative to the program's folder so a moved install still finds it.
  const std::string_view installed = ADWELD_COMPANION_DIR;
  if (installed.empty() || FileExists(beside)) return beside;
  const std::string there = JoinPath(JoinPath(ProgramDirectory(), installed), "libbanrun.so");
  return FileExists(there) ? there : beside;
}

bool CompanionLibrary::Load(const std::string& path) {
  Release();
  const std::string file = path.empty() ? DefaultPath() : path;
  // RTLD_LOCAL keeps the library's symbols from standing in for the
  // program's own.
  m_handle = ::dlopen(NativePath(file).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!m_handle) return false;
  m_loadForm = reinterpret_cast<void (*)(void*)>(::dlsym(m_handle, "LoadForm"));
  m_unloadForm = reinterpret_cast<void (*)(int)>(::dlsym(m_handle, "UnloadForm"));
  return true;
}

void CompanionLibrary::CallLoadForm(void* application) {
  if (m_loadForm) m_loadForm(application);
}

void CompanionLibrary::CallUnloadForm(int how) {
  if (m_unloadForm) m_unloadForm(how);
}

void CompanionLibrary::Release() {
  m_loadForm = nullptr;
  m_unloadForm = nullptr;
  if (m_handle) {
    ::dlclose(m_handle);
    m_handle = nullptr;
  }
}

}  // namespace adw::platform

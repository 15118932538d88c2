#include "platform/companion_library.h"

#include <dlfcn.h>

#include "platform/files.h"

namespace adw::platform {

CompanionLibrary::~CompanionLibrary() { Release(); }

std::string CompanionLibrary::DefaultPath() { return JoinPath(ProgramDirectory(), "libbanrun.so"); }

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

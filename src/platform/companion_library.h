#pragma once
// The companion library "banrun", loaded from beside the program at the
// start of every posting run ("libbanrun.so" here). Its exports "LoadForm"
// (one pointer argument, the application object) and "UnloadForm" (one int
// argument) return nothing the program reads.
#include <string>

namespace adw::platform {

class CompanionLibrary {
 public:
  CompanionLibrary() = default;
  ~CompanionLibrary();  // releases the library when still held
  CompanionLibrary(const CompanionLibrary&) = delete;
  CompanionLibrary& operator=(const CompanionLibrary&) = delete;

  // Loads the library from the program's directory (or from path when
  // given). False when it cannot be loaded.
  bool Load(const std::string& path = {});
  bool IsLoaded() const { return m_handle != nullptr; }
  bool HasLoadForm() const { return m_loadForm != nullptr; }
  bool HasUnloadForm() const { return m_unloadForm != nullptr; }
  // Each call does nothing when its export was not found.
  void CallLoadForm(void* application);
  void CallUnloadForm(int how);
  // Releases the library at most once; the exports are forgotten.
  void Release();

  // File name of the library beside the program, or in the private library
  // folder of an installed program when it is not beside it.
  static std::string DefaultPath();

 private:
  void* m_handle = nullptr;
  void (*m_loadForm)(void*) = nullptr;
  void (*m_unloadForm)(int) = nullptr;
};

}  // namespace adw::platform

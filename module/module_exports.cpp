// The plug-in as a shared library: the loader's attach and detach of the module. The five entry
// points themselves live in module.cpp; the linker's export list (auralith_plugin.map) makes
// them, with C linkage, the only symbols the library exports.
#include "module/module.h"
#include "platform/module_file.h"

#if !defined(_WIN32)
namespace {

// The module's instance handle: any address inside the module tells it from other modules.
char g_moduleTag;

// Constructed when the library is loaded and destroyed when it is unloaded, as the platform's
// loader calls DllMain. What the attach step constructs on first use is destroyed after this.
struct ModuleLoader {
  ModuleLoader() {
    DllMain(reinterpret_cast<HINSTANCE>(&g_moduleTag), DLL_PROCESS_ATTACH, nullptr);
  }
  ~ModuleLoader() {
    DllMain(reinterpret_cast<HINSTANCE>(&g_moduleTag), DLL_PROCESS_DETACH, nullptr);
  }
};

ModuleLoader g_loader;

}  // namespace
#endif

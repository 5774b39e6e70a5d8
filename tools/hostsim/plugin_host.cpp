#include "plugin_host.h"

PluginHost::~PluginHost()
{
    Unload();
}

bool PluginHost::Load(const std::string& dllPath, HWND mainWindow)
{
    module_ = LoadLibraryA(dllPath.c_str());
    if (module_ == nullptr) {
        error_ = "cannot load " + dllPath + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    using Export = PluginDescriptor* (*)();
    auto get = reinterpret_cast<Export>(reinterpret_cast<void*>(
        GetProcAddress(module_, "winampGetGeneralPurposePlugin")));
    if (get == nullptr) {
        error_ = dllPath + " has no winampGetGeneralPurposePlugin export";
        Unload();
        return false;
    }
    descriptor_ = get();
    descriptor_->parentWindow = mainWindow;
    descriptor_->moduleInstance = module_;
    return true;
}

DWORD TimedQuit(PluginDescriptor& descriptor)
{
    DWORD start = GetTickCount();
    descriptor.quit();
    return GetTickCount() - start;
}

void PluginHost::Unload()
{
    if (module_ != nullptr)
        FreeLibrary(module_);
    module_ = nullptr;
    descriptor_ = nullptr;
}

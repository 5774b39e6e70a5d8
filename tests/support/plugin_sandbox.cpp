#include "support/plugin_sandbox.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

void RemoveTree(const std::string& directory)
{
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((directory + "*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string path = directory + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path + "\\");
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryA(directory.c_str());
}

}  // namespace

std::string BinaryDirectory()
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string directory = path;
    return directory.substr(0, directory.rfind('\\') + 1);
}

TempDir::TempDir()
{
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    static LONG counter;
    for (;;) {
        std::ostringstream name;
        name << base << "tunewire-" << GetCurrentProcessId() << "-"
             << InterlockedIncrement(&counter) << "\\";
        if (CreateDirectoryA(name.str().c_str(), nullptr)) {
            path_ = name.str();
            return;
        }
    }
}

TempDir::~TempDir()
{
    RemoveTree(path_);
}

PluginSandbox::PluginSandbox(const std::string& subfolder)
{
    directory_ = temp_.Path();
    if (!subfolder.empty()) {
        size_t start = 0;
        while (start < subfolder.size()) {
            size_t slash = subfolder.find('\\', start);
            if (slash == std::string::npos)
                slash = subfolder.size();
            directory_ += subfolder.substr(start, slash - start) + "\\";
            CreateDirectoryA(directory_.c_str(), nullptr);
            start = slash + 1;
        }
    }
    std::string dll = directory_ + "gen_tunewire.dll";
    if (!CopyFileA((BinaryDirectory() + "gen_tunewire.dll").c_str(), dll.c_str(), FALSE))
        throw std::runtime_error("cannot copy gen_tunewire.dll to " + dll);
    module_ = LoadLibraryA(dll.c_str());
    if (module_ == nullptr)
        throw std::runtime_error("cannot load " + dll);
}

PluginSandbox::~PluginSandbox()
{
    if (module_ != nullptr && g_pluginDescriptor.moduleInstance == module_)
        g_pluginDescriptor.moduleInstance = nullptr;
    Unload();
}

void PluginSandbox::Unload()
{
    if (module_ != nullptr)
        FreeLibrary(module_);
    module_ = nullptr;
}

PluginDescriptor* PluginSandbox::Descriptor() const
{
    using Export = PluginDescriptor* (*)();
    auto get = reinterpret_cast<Export>(
        reinterpret_cast<void*>(GetProcAddress(module_, "winampGetGeneralPurposePlugin")));
    return get != nullptr ? get() : nullptr;
}

void PluginSandbox::AdoptAsStaticModule() const
{
    g_pluginDescriptor.moduleInstance = module_;
}

void PluginSandbox::WriteIni(const std::string& contents) const
{
    WriteWholeFile(IniPath(), contents);
}

std::string PluginSandbox::ReadIni() const
{
    return ReadWholeFile(IniPath());
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

void WriteWholeFile(const std::string& path, const std::string& contents)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
}

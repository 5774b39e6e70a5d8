// hostsim.exe: a stand-in for the player. It loads a plugin DLL, hands it a
// main window, calls init, plays a playlist script against it (answering the
// plugin's track queries), and quits and unloads it, reporting as it goes.
//
//   hostsim.exe [--log FILE] [--ansi-only] [--no-notify] [--preload DLL]... PLUGIN.dll SCRIPT
//
// --log writes every query the plugin sent, with its answer, to FILE.
// --ansi-only plays an older player, whose wide-text queries answer null.
// --no-notify sends none of the notifications the player sends its main
// window on play, pause, stop and a new title (host_window.h).
// --preload loads DLL before the plugin and keeps it for the process's life,
// as a player does with the DLLs its other plugins bring (a shared C++
// runtime, say); the DLLs it needs are looked for beside it first.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "host_window.h"
#include "playlist_script.h"
#include "plugin_host.h"
#include "script_entry.h"

namespace {

struct Options {
    std::string logPath;
    bool ansiOnly = false;
    bool notify = true;
    std::vector<std::string> preloads;
    std::string pluginPath;
    std::string scriptPath;
};

bool ParseArguments(int argc, char** argv, Options& options)
{
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--log" && i + 1 < argc)
            options.logPath = argv[++i];
        else if (argument == "--ansi-only")
            options.ansiOnly = true;
        else if (argument == "--no-notify")
            options.notify = false;
        else if (argument == "--preload" && i + 1 < argc)
            options.preloads.push_back(argv[++i]);
        else
            positional.push_back(argument);
    }
    if (positional.size() != 2)
        return false;
    options.pluginPath = positional[0];
    options.scriptPath = positional[1];
    return true;
}

void Say(const char* format, const std::string& text = std::string())
{
    std::printf("hostsim: ");
    std::printf(format, text.c_str());
    std::printf("\n");
    std::fflush(stdout);
}

void Apply(const ScriptEvent& event, HostWindow& window)
{
    const bool changed = ApplyScriptEvent(window, event);
    const std::string entry = std::to_string(event.position) + ", length " +
                              std::to_string(event.length);
    switch (event.kind) {
    case ScriptEvent::kPlay:
        Say("playing entry %s", entry + (event.trackMs != 0
                                             ? " from " + std::to_string(event.trackMs) + " ms"
                                             : std::string()));
        break;
    case ScriptEvent::kPause:
        Say("paused on entry %s", entry);
        break;
    case ScriptEvent::kResume:
        Say(changed ? "resumed" : "resume: nothing is paused");
        break;
    case ScriptEvent::kSeek:
        Say(changed ? "moved to %s ms" : "seek to %s ms: nothing plays",
            std::to_string(event.trackMs));
        break;
    case ScriptEvent::kStop:
        Say("stopped");
        break;
    default:
        break;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseArguments(argc, argv, options)) {
        std::fprintf(stderr, "usage: hostsim.exe [--log FILE] [--ansi-only] [--no-notify] "
                             "[--preload DLL]... PLUGIN.dll SCRIPT\n");
        return 2;
    }
    std::ifstream scriptFile(options.scriptPath);
    std::vector<ScriptEvent> events;
    std::string error;
    if (!scriptFile) {
        std::fprintf(stderr, "hostsim: cannot open %s\n", options.scriptPath.c_str());
        return 2;
    }
    if (!ParseScript(scriptFile, events, error)) {
        std::fprintf(stderr, "hostsim: %s: %s\n", options.scriptPath.c_str(), error.c_str());
        return 2;
    }

    HostWindow window;
    if (window.Handle() == nullptr) {
        std::fprintf(stderr, "hostsim: cannot create the main window (no display?)\n");
        return 1;
    }
    window.SetAnsiOnly(options.ansiOnly);
    window.SetNotifying(options.notify);
    std::ofstream log;
    if (!options.logPath.empty()) {
        log.open(options.logPath);
        window.SetQueryObserver([&log](const HostQueryRecord& q) {
            log << q.tick << " query " << q.code << "(" << q.argument << ") -> " << q.answer;
            if (!q.text.empty())
                log << " \"" << q.text << "\"";
            log << std::endl;
        });
    }

    for (const std::string& preload : options.preloads) {
        if (LoadLibraryExA(preload.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH) == nullptr) {
            std::fprintf(stderr, "hostsim: cannot preload %s (error %lu)\n", preload.c_str(),
                         GetLastError());
            return 1;
        }
        Say("preloaded %s", preload);
    }

    PluginHost plugin;
    if (!plugin.Load(options.pluginPath, window.Handle())) {
        std::fprintf(stderr, "hostsim: %s\n", plugin.Error().c_str());
        return 1;
    }
    Say("loaded, description \"%s\"", plugin.Description());
    plugin.Init();
    Say("init done, description \"%s\"", plugin.Description());

    DWORD start = GetTickCount();
    for (const ScriptEvent& event : events) {
        window.PumpUntil([&] { return GetTickCount() - start >= event.atMs; }, INFINITE);
        if (event.kind == ScriptEvent::kQuit)
            break;
        if (event.kind == ScriptEvent::kConfig) {
            Say("opening the configuration dialog");
            plugin.Config();
            Say("configuration dialog closed");
            continue;
        }
        Apply(event, window);
    }
    DWORD quitMs = plugin.Quit();
    Say("quit returned after %s ms", std::to_string(quitMs));
    plugin.Unload();
    Say("unloaded");
    return 0;
}

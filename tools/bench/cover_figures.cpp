// What the embedded cover reader costs a track change when there is nothing
// to find: a 40 MB file without a picture, its tags at the start (MP3) or
// its moov after the audio (M4A), read through the plugin's file adapter on
// the calling thread. The file was just written, so it is in the system's
// cache, as a playing track is.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "common/text_convert.h"
#include "figures.h"
#include "loopback/clock.h"
#include "monitor/cover_file_source.h"

namespace {

constexpr size_t kAudioBytes = 40 << 20;  // a long track at a high bit rate
constexpr int kRuns = 5;
constexpr double kGoalMs = 20;

std::string BigEndian32(uint32_t value, int shift = 8)
{
    std::string bytes;
    for (int i = 3; i >= 0; --i)
        bytes += static_cast<char>(value >> (i * shift) & ((1u << shift) - 1));
    return bytes;
}

std::string Atom(const char* type, const std::string& body)
{
    return BigEndian32(static_cast<uint32_t>(8 + body.size())) + type + body;
}

// An ID3v2.4 tag of text frames and padding (sizes in seven bits a byte),
// then MPEG frame headers with silence.
std::string Mp3()
{
    std::string frames;
    for (const char* text : {"TIT2Bench Track", "TPE1Bench Artist", "TALBBench Album"}) {
        const std::string value = std::string(1, '\x03') + (text + 4);
        frames += std::string(text, 4) + BigEndian32(uint32_t(value.size()), 7) + '\0' + '\0' +
                  value;
    }
    frames += std::string(1024, '\0');
    std::string file =
        "ID3\x04" + std::string(2, '\0') + BigEndian32(uint32_t(frames.size()), 7) + frames;
    const std::string frame = "\xFF\xFB\x90\x64" + std::string(413, '\0');
    while (file.size() < kAudioBytes)
        file += frame;
    return file;
}

// ftyp, the audio, then moov with its tags but no covr.
std::string M4a()
{
    const std::string meta = std::string(4, '\0') + Atom("ilst", "");
    return Atom("ftyp", "M4A " + std::string(4, '\0') + "M4A isom") +
           Atom("mdat", std::string(kAudioBytes, '\0')) +
           Atom("moov", Atom("udta", Atom("meta", meta)));
}

}  // namespace

void MeasureEmbeddedCover(Report& report)
{
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    const struct {
        const char* name;
        std::string (*make)();
    } shapes[] = {{"mp3", Mp3}, {"m4a", M4a}};
    for (const auto& shape : shapes) {
        const std::string figure = Format(
            "Embedded cover of a 40 MB .%s without a picture, worst of %d", shape.name, kRuns);
        const std::string path = Format("%stunewire-bench-cover.%s", folder, shape.name);
        const std::string bytes = shape.make();
        FILE* file = std::fopen(path.c_str(), "wb");
        const bool written = file != nullptr &&
                             std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        if (file != nullptr)
            std::fclose(file);
        const std::vector<wchar_t> wide = WideFrom(path, CP_ACP);
        double costs[kRuns];
        bool found = false;
        for (double& cost : costs) {
            std::string picture;
            const double start = NowMs();
            found = FindEmbeddedCoverInFile(wide.data(), picture) || found;
            cost = NowMs() - start;
        }
        DeleteFileA(path.c_str());
        if (!written || found) {
            report.Fail(figure, written ? "a picture was found where there is none"
                                        : "cannot write " + path);
            continue;
        }
        std::sort(costs, costs + kRuns);
        report.AddGoal(figure, Format("%.2f ms (median %.2f)", costs[kRuns - 1], costs[kRuns / 2]),
                       Format("< %.0f ms", kGoalMs), costs[kRuns - 1] < kGoalMs);
    }
}

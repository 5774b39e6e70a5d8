// Reading the stand-in's query log as the monitor's turns, for scenario
// tests of the real DLL's monitor.
#pragma once

#include <windows.h>

#include <vector>

#include "host_window.h"
#include "host/host_queries.h"

struct Turn {
    DWORD start;
    std::vector<LPARAM> codes;
};

// Cuts the query log into turns: every turn begins with the playing query.
// The last turn may still be waiting for answers, so it is left out.
inline std::vector<Turn> Turns(const std::vector<HostQueryRecord>& queries)
{
    std::vector<Turn> turns;
    for (const HostQueryRecord& query : queries) {
        if (query.code == kQueryIsPlaying || turns.empty())
            turns.push_back({query.tick, {}});
        turns.back().codes.push_back(query.code);
    }
    if (!turns.empty())
        turns.pop_back();
    return turns;
}

// Pumps the host's messages until the monitor has finished `count` more turns.
inline void PumpTurns(HostWindow& host, size_t count)
{
    size_t target = Turns(host.Queries()).size() + count + 1;
    host.PumpUntil([&] { return Turns(host.Queries()).size() >= target; }, 2500 * (count + 1));
}

const std::vector<LPARAM> kNotPlaying = {104};
const std::vector<LPARAM> kNoChange = {104, 105, 125};
const std::vector<LPARAM> kSameFile = {104, 105, 125, 211};
const std::vector<LPARAM> kNewFile = {104, 105, 125, 211, 212};

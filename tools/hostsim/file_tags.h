// The tags the stand-in's player knows of its files, and its answers to the
// extended file information queries (290, and 3026 in wide texts). Like a
// player's decoder, it answers 1 for any file it is asked about, writes
// nothing for a tag it lacks, and copies a value as strncpy does: a value
// that fills `ret` is left without its terminating zero.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "host/host_queries.h"

class FileTags {
public:
    // Tags of `file` (a wide path as the wide file-name query answers it).
    void Set(const std::wstring& file, const std::map<std::string, std::wstring>& tags);

    // `asked` receives "name=value" (UTF-8) of the answer, for the record.
    LRESULT Answer(const ExtendedFileInfoQuery& query, std::string& asked) const;
    LRESULT Answer(const WideExtendedFileInfoQuery& query, std::string& asked) const;

private:
    const std::wstring* Find(const std::wstring& file, const std::string& name) const;

    std::map<std::wstring, std::map<std::string, std::wstring>> files_;
};

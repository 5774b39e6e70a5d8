// The ArtworkFile key: a copy of the playing track's folder image at a fixed
// path, for a streaming program or the local overlay. The image is found
// beside the file when the record is built; the copy is replaced whole as the
// title file is, and removed when a track has none. Only a copy the plugin
// wrote itself is ever replaced or removed: each copy's stamp (its size and
// last-write time) is remembered, and a file there with another stamp is the
// user's own, left as it is.
#pragma once

#include <windows.h>

#include <string>

// The folder image of `mediaFile` into `found` (kPathSize units): the first
// of cover, folder, front and album with .jpg, .jpeg or .png, in any letter
// case, in the file's folder. False, with `found` empty, when there is none,
// and for anything that is not a local path.
bool FindFolderArt(const wchar_t* mediaFile, wchar_t* found);

// What KeepArtworkFile answers for a file at the path that the plugin did
// not write.
constexpr DWORD kArtworkNotOurs = ERROR_FILE_EXISTS;

// A file's stamp, its size and last-write time as text; empty when there is
// no such file.
std::string ArtworkStamp(const wchar_t* file);

// Copies `source` to `path` (taken as the title file's path is), or with
// `embedded` the picture inside the music file `source`; with no source
// (empty), or one that cannot be read, is over 4 MB or holds no picture,
// removes the copy.
// A file already at the path is replaced or removed only when its stamp is
// `stamp`, that of the copy written last; `stamp` then becomes the new copy's
// (empty once removed). Returns 0, kArtworkNotOurs or the platform's error
// code; `written` (kPathSize units) receives the full path, and `copied`
// whether a copy now stands there.
DWORD KeepArtworkFile(const wchar_t* path, const wchar_t* baseFolder, const wchar_t* source,
                      bool embedded, wchar_t* written, bool& copied, std::string& stamp);

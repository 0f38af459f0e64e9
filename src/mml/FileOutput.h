#pragma once
// Reading sources and writing MIDI files for the console program and the
// library. A MIDI file is written to a temporary file beside its target and
// renamed into place, so no reader ever sees half a file.
#include <string>

#include "mml/SmfWriter.h"

namespace zek::mml {

struct FileRead {
    bool ok = false;
    std::string bytes;
    std::string error;   // "no such file", "is a folder", ...
};

// Refuses files above maxBytes instead of reading them.
FileRead readWholeFile(const std::string& path, size_t maxBytes);

// Returns an empty string on success, else why it failed; the target is
// then untouched and no temporary file is left behind.
std::string writeFileAtomically(const std::string& path, const SmfImage& image);

// "/m/v1.0/song" -> "/m/v1.0/song.mid": only the file name's extension changes.
std::string defaultMidiName(const std::string& source);

// True when both names lead to the same existing file.
bool sameFile(const std::string& a, const std::string& b);

}  // namespace zek::mml

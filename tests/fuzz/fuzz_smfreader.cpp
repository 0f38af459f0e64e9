// libFuzzer target for the Standard MIDI file reader: the built-in player
// feeds it whatever file the user picks.
#include <cstdint>
#include <cstdlib>

#include "mml/SmfReader.h"

using namespace zek::mml;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SmfReadResult read = readSmf({data, size});
    if (read.file) {
        const double ms = read.file->lengthMs();
        if (!(ms >= 0)) std::abort();
        read.file->tempoMap.tickAt(ms / 2);
    } else if (read.error.empty()) {
        std::abort();
    }
    return 0;
}

#include "platform/FontConfigWarmup.h"

#include <fontconfig/fontconfig.h>

namespace zek::platform {

FontConfigWarmup::FontConfigWarmup() : thread_([] { FcInit(); }) {}

FontConfigWarmup::~FontConfigWarmup() { finish(); }

void FontConfigWarmup::finish() {
    if (thread_.joinable())
        thread_.join();
}

}  // namespace zek::platform

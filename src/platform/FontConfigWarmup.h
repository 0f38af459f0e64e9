#pragma once
// Reading the font configuration (dozens of XML files) is one of the larger
// costs of a GUI start. It does not depend on the GUI, so it runs on a
// thread of its own while the GUI connects to the display.
#include <thread>

namespace zek::platform {

class FontConfigWarmup {
public:
    FontConfigWarmup();
    ~FontConfigWarmup();
    FontConfigWarmup(const FontConfigWarmup&) = delete;
    FontConfigWarmup& operator=(const FontConfigWarmup&) = delete;

    // Waits until the configuration is loaded (before the first font use).
    void finish();

private:
    std::thread thread_;
};

}  // namespace zek::platform

// dlhost library source midi [calls]: loads the library and calls it the way
// ZEK's in-process runner does: one zero-filled 256-byte buffer, GetVerInfo,
// then MMLtoMIDI with the whole source text. Prints what the host would show.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

using GetVerInfoFn = void (*)(char*);
using MmlToMidiFn = unsigned char (*)(const char*, const char*, char*);

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: dlhost library source midi [calls]\n");
        return 2;
    }
    void* lib = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        std::printf("dlopen failed: %s\n", dlerror());
        return 3;
    }
    auto getVerInfo = reinterpret_cast<GetVerInfoFn>(dlsym(lib, "GetVerInfo"));
    auto mmlToMidi = reinterpret_cast<MmlToMidiFn>(dlsym(lib, "MMLtoMIDI"));
    if (!getVerInfo || !mmlToMidi) {
        std::printf("dlsym failed\n");
        return 3;
    }
    std::ifstream in(argv[2], std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string source = text.str();
    const int calls = argc > 4 ? std::atoi(argv[4]) : 1;
    int failures = 0;
    for (int i = 0; i < calls; ++i) {
        char buf[256];
        std::memset(buf, 0, sizeof buf);
        getVerInfo(buf);
        std::printf("version: %s\n", buf);
        const unsigned char ok = mmlToMidi(source.c_str(), argv[3], buf);
        std::printf("result: %d\n", ok);
        std::printf("message: %s\n", ok == 1 ? "ok." : buf);
        if (ok != 1) ++failures;
    }
    dlclose(lib);
    return failures ? 1 : 0;
}

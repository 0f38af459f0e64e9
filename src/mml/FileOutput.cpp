#include "mml/FileOutput.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace zek::mml {

namespace fs = std::filesystem;

FileRead readWholeFile(const std::string& path, size_t maxBytes) {
    FileRead r;
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (ec || !fs::exists(st)) {
        r.error = "no such file";
        return r;
    }
    if (fs::is_directory(st)) {
        r.error = "is a folder, not a file";
        return r;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        r.error = std::string("cannot open it: ") + std::strerror(errno);
        return r;
    }
    const uintmax_t size = fs::file_size(path, ec);
    if (!ec && size <= maxBytes) r.bytes.reserve(size_t(size));
    char buffer[1 << 16];
    while (in) {
        in.read(buffer, sizeof buffer);
        r.bytes.append(buffer, size_t(in.gcount()));
        if (r.bytes.size() > maxBytes) {
            r.bytes.clear();
            r.error = "is larger than " + std::to_string(maxBytes >> 20) + " MB";
            return r;
        }
    }
    if (in.bad()) {
        r.bytes.clear();
        r.error = "cannot read it";
        return r;
    }
    r.ok = true;
    return r;
}

std::string writeFileAtomically(const std::string& path, const SmfImage& image) {
    static std::atomic<unsigned> counter{0};
    const auto stamp = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    std::string temp;
    std::FILE* f = nullptr;
    for (int attempt = 0; attempt < 100 && !f; ++attempt) {
        const uint64_t salt = stamp ^ (uint64_t(counter.fetch_add(1)) * 0x9E3779B97F4A7C15ull) ^ uint64_t(uintptr_t(&temp));
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, ".%08x.tmp", unsigned(salt ^ (salt >> 32)));
        temp = path + suffix;
        f = std::fopen(temp.c_str(), "wbx");  // exclusive: never reuse someone's file
        if (!f && errno != EEXIST) break;
    }
    if (!f) return "cannot create a file beside " + path + ": " + std::strerror(errno);
    bool ok = image.write([&](const uint8_t* data, size_t size) { return std::fwrite(data, 1, size, f) == size; });
    int savedErrno = ok ? 0 : errno;
    if (std::fflush(f) != 0 && ok) {
        ok = false;
        savedErrno = errno;
    }
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        savedErrno = errno;
    }
    std::error_code ec;
    if (!ok) {
        fs::remove(temp, ec);
        return "cannot write " + path + ": " + std::strerror(savedErrno ? savedErrno : EIO);
    }
    fs::rename(temp, path, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        return "cannot write " + path + ": " + ec.message();
    }
    return {};
}

std::string defaultMidiName(const std::string& source) {
    fs::path p(source);
    p.replace_extension(".mid");
    return p.string();
}

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    const bool same = fs::equivalent(a, b, ec);
    return !ec && same;
}

}  // namespace zek::mml

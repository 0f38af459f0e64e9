#include "mml/IncludeSearch.h"

#include <algorithm>
#include <filesystem>

#include "mml/FileOutput.h"

namespace zek::mml {

namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxIncludeBytes = 64u << 20;

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    return (fs::path(folder) / name).string();
}

}  // namespace

std::string folderOf(const std::string& path) { return fs::path(path).parent_path().string(); }

std::string identityOf(const std::string& path) {
    std::error_code ec;
    fs::path canonical = fs::weakly_canonical(path, ec);
    return ec ? path : canonical.string();
}

std::vector<std::string> splitSearchPath(const std::string& list) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(':', start);
        if (end == std::string::npos) end = list.size();
        if (end > start) out.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

IncludeLoader makeFolderIncludeLoader(std::vector<std::string> folders) {
    return [folders = std::move(folders)](const std::string& name, const std::string& fromFolder) {
        IncludeLookup lookup;
        std::vector<std::string> candidates;
        if (fs::path(name).is_absolute()) {
            candidates.push_back(name);
        } else {
            candidates.push_back(joinPath(fromFolder, name));
            for (const std::string& folder : folders) candidates.push_back(joinPath(folder, name));
        }
        std::vector<std::string> tried;
        for (const std::string& candidate : candidates) {
            if (std::find(tried.begin(), tried.end(), candidate) != tried.end()) continue;
            tried.push_back(candidate);
            std::error_code ec;
            if (!fs::exists(candidate, ec)) continue;
            FileRead read = readWholeFile(candidate, kMaxIncludeBytes);
            if (!read.ok) {
                lookup.error = candidate + " " + read.error;
                return lookup;
            }
            auto file = std::make_unique<LoadedInclude>();
            file->displayName = candidate;
            file->folder = folderOf(candidate);
            file->identity = identityOf(candidate);
            file->bytes = std::move(read.bytes);
            lookup.file = std::move(file);
            return lookup;
        }
        std::string searched;
        for (const std::string& t : tried) {
            const std::string folder = folderOf(t);
            searched += (searched.empty() ? "" : ", ") + (folder.empty() ? std::string(".") : folder);
        }
        if (searched.size() > 160) searched = searched.substr(0, 157) + "...";
        lookup.error = "no such file (searched " + searched + ")";
        return lookup;
    };
}

}  // namespace zek::mml

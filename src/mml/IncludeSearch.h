#pragma once
// Include files from the file system: the including file's folder first,
// then a fixed list of folders in order.
#include <string>
#include <vector>

#include "mml/Compiler.h"

namespace zek::mml {

// An empty folder stands for the current folder.
IncludeLoader makeFolderIncludeLoader(std::vector<std::string> folders);

// Splits a ":"-separated list such as SMC_INCLUDE; empty entries are dropped.
std::vector<std::string> splitSearchPath(const std::string& list);

// The folder part of a path ("" when it has none).
std::string folderOf(const std::string& path);
// The canonical path when the file exists, else the path itself.
std::string identityOf(const std::string& path);

}  // namespace zek::mml

#pragma once
// The version text starts with the major version digit: hosts read it to
// learn that this compiler searches an Include folder (version 2 and later).
namespace zek::mml {
inline constexpr const char* kVersion = "2.00";
inline constexpr const char* kVersionText = "2.00 zekmml";
}  // namespace zek::mml

#pragma once
// "Help contents": the manual that comes with Kelbrin, where it lies and
// opening it with the desktop's program for it.

#include <functional>
#include <string>

// The manual's file name, beside the program in the build tree and in
// <prefix>/share/doc/tambrell once installed.
inline constexpr const char* kManualFileName = "Tambrell.html";
// Where an install puts it, from the program's folder (<prefix>/bin).
inline constexpr const char* kInstalledManualFolder = "../share/doc/tambrell";

// path as the system resolves it: links followed, no "." or ".." left; the
// part that does not exist is kept as given, normalised.
std::string resolvedPath(const std::string& path);

// Where an install puts the manual for the program in programFolder,
// resolved (whether it is there or not).
std::string installedManualPath(const std::string& programFolder);

// The manual for the program in programFolder, resolved: beside it first
// (the build tree), else in ../share/doc/tambrell (an install puts the
// program in <prefix>/bin). Empty when neither holds it.
std::string findManual(const std::string& programFolder);

// What went wrong, told by xdg-open's exit status (not 0) as onExit below
// receives it.
std::string describeOpenFailure(int status);

// Starts xdg-open on path without a shell and without waiting for it; false
// when it could not be started (no xdg-open on PATH). Otherwise onExit runs
// once xdg-open ends, on a thread of its own, with its exit status (-1 when a
// signal ended it).
bool openAndReport(const std::string& path, std::function<void(int status)> onExit);

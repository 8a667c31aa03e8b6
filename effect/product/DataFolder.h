#pragma once

#include <cstddef>

// Where the plug-in finds its "Gfx" and "Presets" folders.
namespace datafolder {

// Reads the value of the key "rootFolder" from one "key=value" file, which
// must be a regular file of at most 64 KiB. Returns false (and leaves out
// alone) when the file, the key or a usable value is missing, or when the
// value does not fit into outSize.
bool readRootFolderFrom(const char* confPath, char* out, size_t outSize);

// Looks for Ostravelin/Tambrell.conf under $XDG_CONFIG_HOME (else ~/.config),
// then under each folder of $XDG_CONFIG_DIRS (else /etc/xdg), first hit wins.
bool findConfiguredRoot(char* out, size_t outSize);

// The folder of the binary this code is linked into (the plug-in library).
bool libraryFolder(char* out, size_t outSize);

// The whole rule: the native host format (id 3) always uses the library's own
// folder; other formats take the configured root and fall back to it.
void findRootFolder(int formatId, char* out, size_t outSize);

// "<root>/<leaf>", cut to outSize - 1 characters.
void joinFolder(const char* root, const char* leaf, char* out, size_t outSize);

}  // namespace datafolder

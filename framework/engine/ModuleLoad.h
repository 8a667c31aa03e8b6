#pragma once

// Where this library lives, recorded once when it is loaded.
//
// moduleAttach() finds the library that contains this code (dladdr), remembers
// its base address as the module handle and its path, and stores both into the
// installed definition (installPluginDefinition copies them in if the
// definition arrives later). It is idempotent. The load-time hook that calls it
// is framework/engine/entry/ModuleLoadHook.cpp, compiled into every module:
// a constructor in a static library would be dropped with its object file.
//
// Thread: the loader's thread, before any entry point runs.

// Always true, like the loader callback it replaces.
bool moduleAttach() noexcept;

// The recorded base address, or null before moduleAttach ran.
void* moduleHandle() noexcept;
// The recorded path of the library ("" before moduleAttach ran).
const char* modulePath() noexcept;

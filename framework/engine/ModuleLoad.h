#pragma once

// Where this library lives, recorded once when it is loaded.
//
// moduleAttach() is the load-time hook: it finds the library that contains this
// code (dladdr), remembers its base address as the module handle and its path,
// and stores both into the installed definition (installPluginDefinition copies
// them in if the definition arrives later). A constructor function in
// ModuleLoad.cpp calls it when the library is loaded.
//
// The hook lives in a static library, and the linker drops an object file that
// nothing references, together with its constructor. A plug-in module must
// therefore reference it, either by calling moduleAttach() (it is idempotent)
// from one of its own translation units, or by linking with
//   -Wl,--undefined=tb_module_load_anchor
// which pulls the object file in.
//
// Thread: the loader's thread, before any entry point runs.

// Always true, like the loader callback it replaces.
bool moduleAttach() noexcept;

// The recorded base address, or null before moduleAttach ran.
void* moduleHandle() noexcept;
// The recorded path of the library ("" before moduleAttach ran).
const char* modulePath() noexcept;

extern "C" int tb_module_load_anchor;

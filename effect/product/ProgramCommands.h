#pragma once

#include <cstdint>
#include <functional>

class CDrive;

// The commands behind the program menu (its item positions): save, load and
// reset the program, and load a listed preset. Runs on the editor's thread;
// the dialogs are owned by the editor's window. rebuildMenu is called
// wherever the menu must show a new name or list.
namespace programcommands {

void run(
    CDrive& engine, int32_t position, void* ownerWindow, void* moduleHandle, const std::function<void()>& rebuildMenu);

}  // namespace programcommands

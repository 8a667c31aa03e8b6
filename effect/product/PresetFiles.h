#pragma once

#include <cstdint>
#include <functional>

class CDrive;

// Preset files: one 460-byte program chunk per file, extension "tbprg", kept
// in the engine's presets folder. The program takes the file's base name
// whenever a file is loaded or saved. All of it runs on the editor's thread.
namespace presetfiles {

inline constexpr char kExtension[] = "tbprg";
inline constexpr char kFileType[] = "Tambrell Program";

enum class LoadResult {
    NotRead,  // missing, unreadable or empty: nothing changed
    Refused,  // read, but the engine refused the content: values and name kept
    Accepted,  // the program holds the file's values and is named after it
};

// Hands the file's bytes (at most one chunk's worth) to the engine's
// setProgramChunk, which selects the program unless the engine is loading,
// and names the program baseName when the chunk was taken.
LoadResult load(CDrive& engine, const char* path, const char* baseName);

enum class SaveResult {
    Saved,
    Failed,  // the old file, the program's name and the preset list are unchanged
};

// Writes the current program to path through a temporary file in the same
// folder that is renamed into place, so a failed write never leaves a cut
// preset behind. When saved, the program is named after the file and the
// presets folder is scanned again.
SaveResult save(CDrive& engine, const char* path);

enum class StepResult { NoMatch, AtEnd, NameTooLong, NotRead, Refused, Accepted };

// Previous (-1) or next (+1) preset of the list, counted from the entry whose
// base name is the program's name (byte for byte). The list does not wrap. A
// neighbour whose base name does not fit into a program name (255 characters)
// is refused rather than loaded under a cut name.
StepResult step(CDrive& engine, int direction);

// The program menu, item by item in order: the program's name ("<none>" when
// empty), the titled commands, then the base name of every listed preset
// file, highlighted when it is the program's name ("<none>" for an empty list).
enum ItemKind : int32_t { kNormal = 0, kCommand = 1, kSeparator = 2, kTitle = 3 };
inline constexpr int32_t kSavePosition = 2;
inline constexpr int32_t kLoadPosition = 3;
inline constexpr int32_t kResetPosition = 4;
inline constexpr int32_t kFirstPresetPosition = 6;

void buildMenu(CDrive& engine, const std::function<void(const char* text, int32_t kind, bool highlighted)>& add);

}  // namespace presetfiles

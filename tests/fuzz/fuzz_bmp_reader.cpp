#include <cstddef>
#include <cstdint>

#include "framework/gui/CBitmap.h"
#include "tests/fuzz/FuzzFile.h"
#include "tests/fuzz/PictureChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* path = fuzzInputPath(data, size);
    CBitmap picture(0);
    const int result = picture.readBmp(path);
    checkPicture(picture, result, false);
    CBitmap loaded(1);
    const bool ok = loaded.load(path);  // falls through to the TGA reader for non-BMPs
    checkPicture(loaded, ok ? 1 : 0, true);
    return 0;
}

#include <cstddef>
#include <cstdint>

#include "framework/gui/CBitmap.h"
#include "tests/fuzz/FuzzFile.h"
#include "tests/fuzz/PictureChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CBitmap picture(0);
    const int result = picture.readTga(fuzzInputPath(data, size));
    checkPicture(picture, result, true);
    return 0;
}

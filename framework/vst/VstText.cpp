#include "framework/vst/VstText.h"

#include <cstring>

std::size_t vstCopyText(char* dst, const char* src, std::size_t maxChars)
{
    if (!dst)
        return 0;
    std::size_t n = 0;
    if (src)
        while (n < maxChars && src[n] != 0)
            ++n;
    if (n)
        std::memcpy(dst, src, n);
    dst[n] = 0;
    return n;
}

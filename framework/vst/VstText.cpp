#include "framework/vst/VstText.h"

#include <cstring>

#include "framework/util/TextCopy.h"

std::size_t vstCopyText(char* dst, const char* src, std::size_t maxChars)
{
    if (!dst)
        return 0;
    copyText(dst, maxChars + 1, src);
    return std::strlen(dst);
}

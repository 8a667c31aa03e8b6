#pragma once
#include <cstdlib>

#include "framework/gui/CBitmap.h"

// What must hold after any reader call, whatever the file held.
inline void checkPicture(CBitmap& picture, int result, bool mayHavePlane)
{
    if (result != 1) {
        if (picture.isValid())
            std::abort();  // a failed read leaves no half picture
        return;
    }
    const SizeHW size = picture.getSize();
    if (!picture.isValid() || size.width <= 0 || size.height <= 0 || size.width > CGraphicBuffer::kMaxSide
        || size.height > CGraphicBuffer::kMaxSide || (!mayHavePlane && picture.hasAlphaPlane())) {
        std::abort();
    }
    // Touch every pixel through a blit so that the sanitizers see the whole store.
    CGraphicBuffer target;
    if (!target.create(size.height, size.width, false))
        std::abort();
    picture.drawTo(&target, 0, 0, size.width, size.height, 0, 0);
    picture.drawBlended(&target, 0, 0, size.width, size.height, 0, 0, 100);
}

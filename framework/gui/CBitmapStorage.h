#pragma once
#include "framework/gui/CBitmap.h"

// The process-wide picture cache. It owns every picture added to it, and keeps
// each until the library is unloaded; the first picture under a key wins.
class CBitmapStorage {
public:
    CBitmapStorage() = default;
    CBitmapStorage(const CBitmapStorage&) = delete;
    CBitmapStorage& operator=(const CBitmapStorage&) = delete;
    virtual ~CBitmapStorage();

    CBitmap* find(BitmapKey key) const;
    // Appends at the tail; refuses null and a picture already in the list.
    bool add(CBitmap* picture);
    // Deletes every picture (the library's unload does this).
    void clear();

    CBitmap* head = nullptr;
};

// The one cache of the process.
CBitmapStorage& bitmapStorage();

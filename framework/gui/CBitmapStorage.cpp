#include "framework/gui/CBitmapStorage.h"

CBitmapStorage::~CBitmapStorage() { clear(); }

CBitmap* CBitmapStorage::find(BitmapKey key) const
{
    for (CBitmap* b = head; b != nullptr; b = b->next) {
        if (b->getKey() == key)
            return b;
    }
    return nullptr;
}

bool CBitmapStorage::add(CBitmap* picture)
{
    if (picture == nullptr)
        return false;
    CBitmap** tail = &head;
    while (*tail != nullptr) {
        if (*tail == picture)
            return false;  // listed twice would be deleted twice
        tail = &(*tail)->next;
    }
    picture->next = nullptr;
    *tail = picture;
    return true;
}

void CBitmapStorage::clear()
{
    while (head != nullptr) {
        CBitmap* next = head->next;
        delete head;
        head = next;
    }
}

namespace {
// Built before any other static object of the library (the plug-in definition
// included) and so destroyed after them, when the library unloads.
CBitmapStorage storage __attribute__((init_priority(200)));
}  // namespace

CBitmapStorage& bitmapStorage() { return storage; }

#include "platform/DialogOwner.h"

namespace platform {
namespace {

    thread_local const DialogOwner* current = nullptr;

}  // namespace

const DialogOwner* dialogOwner() { return current; }

DialogOwnerScope::DialogOwnerScope(const DialogOwner* owner)
    : previous(current)
{
    current = owner;
}

DialogOwnerScope::~DialogOwnerScope() { current = previous; }

}  // namespace platform

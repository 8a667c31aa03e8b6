// Speaker arrangement helpers of AudioEffectX. An arrangement record is
// declared with eight speakers and allocated with room for as many as asked.

#include <cstring>
#include <new>

#include "framework/vst/AudioEffectX.h"
#include "framework/vst/VstText.h"

namespace {

// Speakers beyond the declared eight live in the same allocation; reach them
// through the decayed pointer, not the declared array.
VstSpeakerProperties* speakerAt(VstSpeakerArrangement* arrangement, VstInt32 i)
{
    VstSpeakerProperties* first = arrangement->speakers;
    return first + i;
}

std::size_t arrangementBytes(VstInt32 nbChannels)
{
    const VstInt32 extra = nbChannels > 8 ? nbChannels - 8 : 0;
    return sizeof(VstSpeakerArrangement) + static_cast<std::size_t>(extra) * sizeof(VstSpeakerProperties);
}

}  // namespace

bool AudioEffectX::allocateArrangement(VstSpeakerArrangement** arrangement, VstInt32 nbChannels)
{
    if (!arrangement || nbChannels < 0)
        return false;
    deallocateArrangement(arrangement);
    const std::size_t bytes = arrangementBytes(nbChannels);
    void* memory = ::operator new(bytes, std::nothrow);
    if (!memory)
        return false;
    std::memset(memory, 0, bytes);
    auto* created = static_cast<VstSpeakerArrangement*>(memory);
    created->numChannels = nbChannels;
    *arrangement = created;
    return true;
}

bool AudioEffectX::deallocateArrangement(VstSpeakerArrangement** arrangement)
{
    if (!arrangement)
        return false;
    if (*arrangement) {
        ::operator delete(static_cast<void*>(*arrangement));
        *arrangement = nullptr;
    }
    return true;
}

bool AudioEffectX::copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from)
{
    if (!to || !from)
        return false;
    to->azimuth = from->azimuth;
    to->elevation = from->elevation;
    to->radius = from->radius;
    to->reserved = from->reserved;
    char name[sizeof from->name + 1];
    std::memcpy(name, from->name, sizeof from->name);
    name[sizeof from->name] = 0;
    vstCopyText(to->name, name, sizeof to->name - 1);
    to->type = from->type;
    return true;
}

bool AudioEffectX::matchArrangement(VstSpeakerArrangement** to, VstSpeakerArrangement* from)
{
    if (!to || !from || from->numChannels < 0)
        return false;
    if (*to == from)
        return true;
    if (!allocateArrangement(to, from->numChannels))
        return false;
    (*to)->type = from->type;
    (*to)->numChannels = from->numChannels;
    for (VstInt32 i = 0; i < from->numChannels; ++i)
        if (!copySpeaker(speakerAt(*to, i), speakerAt(from, i)))
            return false;
    return true;
}

// CVstWrapper's audio path: host MIDI intake, transport and rendering. The
// engine splits the block at event offsets and renders from its own copies of
// the host's inputs.

#include <cmath>
#include <cstring>

#include "framework/engine/CSynthesizer.h"
#include "framework/vst/CVstWrapper.h"
#include "framework/vst/FpuControl.h"

VstInt32 CVstWrapper::processEvents(VstEvents* events)
{
    if (!engine || !events || events->numEvents < 0)
        return 1;
    // The host allocates as many pointers as it announces; the declared array
    // of two is only the start of it.
    VstEvent* const* list = events->events;
    for (VstInt32 i = 0; i < events->numEvents; ++i) {
        const VstEvent* event = list[i];
        if (!event || event->type != kVstMidiType)
            continue;
        const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
        MidiQueueEvent entry;
        // The channel is dropped: every channel reaches the engine alike.
        entry.status = static_cast<uint8_t>(static_cast<unsigned char>(midi->midiData[0]) & 0xF0);
        entry.data1 = static_cast<uint8_t>(midi->midiData[1] & 0x7F);
        entry.data2 = static_cast<uint8_t>(midi->midiData[2] & 0x7F);
        entry.spare = static_cast<uint8_t>(midi->midiData[3] & 0x7F);
        entry.offset = midi->deltaFrames;
        engine->queueMidiEvent(entry);  // a full queue drops the rest
    }
    return 1;
}

void CVstWrapper::updateTransport()
{
    bool changed = false;
    bool playing = false;
    if (const VstTimeInfo* t = getTimeInfo(kVstTempoValid)) {
        if ((t->flags & kVstTempoValid) && std::isfinite(t->tempo))
            engine->setTempo(t->tempo);
        changed = (t->flags & kVstTransportChanged) != 0;
        playing = changed && (t->flags & kVstTransportPlaying) != 0;
    }
    engine->setSongPosition(0.0);
    if (const VstTimeInfo* t2 = getTimeInfo(kVstPpqPosValid))
        if ((t2->flags & kVstPpqPosValid) && std::isfinite(t2->ppqPos))
            engine->setSongPosition(t2->ppqPos);
    if (changed)
        engine->setPlaying(playing);
}

void CVstWrapper::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames)
{
    ScopedDenormalFlush flush;
    if (!engine)
        return;
    updateTransport();
    renderBlock(inputs, outputs, sampleFrames, true);
}

void CVstWrapper::process(float** inputs, float** outputs, VstInt32 sampleFrames)
{
    ScopedDenormalFlush flush;
    if (!engine)
        return;
    renderBlock(inputs, outputs, sampleFrames, false);
}

void CVstWrapper::renderBlock(float** inputs, float** outputs, VstInt32 frames, bool replacing)
{
    if (engine->render(inputs, outputs, frames, replacing) == 0 || !replacing || !outputs || frames <= 0)
        return;
    // A program switch is pending: the host still gets silence, not whatever
    // its buffers held before.
    const auto bytes = sizeof(float) * static_cast<std::size_t>(frames);
    for (int32_t c = 0; c < outputChannels; ++c)
        if (outputs[c])
            std::memset(outputs[c], 0, bytes);
}

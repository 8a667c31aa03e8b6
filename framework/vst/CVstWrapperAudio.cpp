// CVstWrapper's audio path: host MIDI intake, transport, and rendering in
// pieces of at most 128 frames from copies of the host's inputs.
//
// The effect unit works in place on the input buffers it is handed. Hosts do
// not expect their inputs to change, so the engine renders each piece from our
// own copy. The host's events are held back and handed to the engine with the
// piece they fall into, at its first frame; pieces are cut at every event
// position, so each event still takes effect at exactly its frame.

#include <algorithm>
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
    for (VstInt32 i = 0; i < events->numEvents; ++i)
    {
        const VstEvent* event = list[i];
        if (!event || event->type != kVstMidiType)
            continue;
        if (staged->count + engine->getQueueCount() >= CSynthesizer::kQueueCapacity)
            continue;
        const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
        MidiQueueEvent& entry = staged->events[staged->count++];
        // The channel is dropped: every channel reaches the engine alike.
        entry.status = static_cast<uint8_t>(static_cast<unsigned char>(midi->midiData[0]) & 0xF0);
        entry.data1 = static_cast<uint8_t>(midi->midiData[1] & 0x7F);
        entry.data2 = static_cast<uint8_t>(midi->midiData[2] & 0x7F);
        entry.spare = static_cast<uint8_t>(midi->midiData[3] & 0x7F);
        entry.offset = midi->deltaFrames;
    }
    return 1;
}

void CVstWrapper::updateTransport()
{
    bool changed = false;
    bool playing = false;
    if (const VstTimeInfo* t = getTimeInfo(kVstTempoValid))
    {
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
    if (frames <= 0 || !outputs)
    {
        // Nothing to render; the engine still ends its block and forgets its
        // queue, and so do we.
        std::fill(std::begin(pieceOutputs), std::end(pieceOutputs), nullptr);
        std::fill(std::begin(pieceInputs), std::end(pieceInputs), nullptr);
        engine->render(pieceInputs, pieceOutputs, 0, replacing);
        staged->count = 0;
        return;
    }

    // An event stamped before one queued ahead of it takes effect where the
    // engine stands, never earlier; so positions only move forward.
    int32_t next = 0;
    int32_t position = 0;  // where the last delivered event took effect
    VstInt32 start = 0;
    while (start < frames)
    {
        while (next < staged->count && std::max(position, staged->events[next].offset) <= start)
        {
            MidiQueueEvent event = staged->events[next++];
            position = std::max(position, event.offset);
            event.offset = 0;
            engine->queueMidiEvent(event);
        }
        VstInt32 end = std::min<VstInt32>(frames, start + CSynthesizer::kBlockMaximum);
        if (next < staged->count)
            end = std::min<VstInt32>(end, std::max(position, staged->events[next].offset));
        renderPiece(inputs, outputs, start, end - start, replacing);
        start = end;
    }
    // Events at or past the block end are dropped, as the engine drops them.
    staged->count = 0;
}

void CVstWrapper::renderPiece(float** inputs, float** outputs, VstInt32 start, VstInt32 frames, bool replacing)
{
    const auto bytes = sizeof(float) * static_cast<std::size_t>(frames);
    for (int32_t c = 0; c < inputChannels; ++c)
    {
        float* copy = inputCopies.get() + static_cast<std::size_t>(c) * CSynthesizer::kBlockMaximum;
        const float* source = inputs && inputs[c] ? inputs[c] + start : nullptr;
        if (source)
            std::memcpy(copy, source, bytes);
        else
            std::memset(copy, 0, bytes);
        pieceInputs[c] = copy;
    }
    for (int32_t c = 0; c < outputChannels; ++c)
        pieceOutputs[c] = outputs[c] ? outputs[c] + start : nullptr;

    if (engine->render(pieceInputs, pieceOutputs, frames, replacing) != 0 && replacing)
    {
        // A program switch is pending: the host still gets silence, not
        // whatever its buffers held before.
        for (int32_t c = 0; c < outputChannels; ++c)
            if (pieceOutputs[c])
                std::memset(pieceOutputs[c], 0, bytes);
    }
}

// MIDI decoding, key bookkeeping and controller links of the engine.
#include <algorithm>

#include "framework/engine/CPluginWrapper.h"
#include "framework/engine/CSynthesizer.h"
#include "framework/engine/EditorView.h"

namespace {
constexpr int kSustain = 64;
constexpr int kBankSelectLow = 32;
constexpr int kResetAllControllers = 121;
constexpr int kAllNotesOff = 123;
constexpr int kVolume = 7;
constexpr int kPan = 10;
}

void CSynthesizer::decodeMidiEvent(int32_t index)
{
    if (index < 0 || index >= kQueueCapacity)
        return;
    const MidiQueueEvent& event = queue[index];
    // Writers mask the data bytes already; masking again keeps every table
    // index in range whatever a writer stored.
    const int d1 = event.data1 & 0x7f;
    const int d2 = event.data2 & 0x7f;

    switch (event.status) {
    case 0x80: releaseKey(d1); break;
    case 0x90:
        if (d2 > 0)
            pressKey(d1, d2);
        else
            releaseKey(d1);
        break;
    case 0xA0: keys[d1].pressure = d2 / 127.0; break;
    case 0xB0:
        controllerValues[d1] = d2 / 127.0;
        if (d1 == kBankSelectLow) {
            if (!onBankSelect(d2))
                onController(static_cast<int8_t>(kBankSelectLow));
        } else if (d1 == kSustain) {
            if (d2 > 64) {
                controllerValues[kSustain] = 1.0;
            } else {
                controllerValues[kSustain] = 0.0;
                for (int key = 0; key < kKeys; ++key) {
                    if (keyDown[key] == 0)
                        releaseKey(key);
                }
            }
        } else if (d1 == kResetAllControllers) {
            for (int c = 0; c < kControllers; ++c) {
                controllerValues[c] = c == kVolume ? 1.0 : (c == kPan ? 0.5 : 0.0);
                onController(static_cast<int8_t>(c));
            }
        } else if (d1 == kAllNotesOff) {
            for (int key = 0; key < kKeys; ++key)
                releaseKey(key);
        } else {
            onController(static_cast<int8_t>(d1));
        }
        break;
    case 0xC0: onProgramChange(d1); break;
    case 0xD0:
        channelPressure = d1 / 127.0;
        onChannelPressure();
        break;
    case 0xE0: {
        const double v = (d1 + 128.0 * d2) / 16383.0;
        pitchBend = 2.0 * v - 1.0;
        onPitchBend();
        break;
    }
    default: break;
    }
}

bool CSynthesizer::isSustainOn() const { return controllerValues[kSustain] > 0.5; }

void CSynthesizer::pressKey(int32_t note, int32_t velocity)
{
    if (note < 0 || note >= kKeys || velocity <= 0 || velocity > 127)
        return;
    KeyRecord& key = keys[note];
    if (key.velocity != 0)
        return;  // a repeated note-on is ignored
    key.velocity = static_cast<uint8_t>(velocity);
    keyDown[note] = static_cast<uint8_t>(velocity);
    if (voiceMode)
        playVoiceNote(static_cast<int8_t>(note), static_cast<int8_t>(velocity));
    onNote(static_cast<int8_t>(note), static_cast<int8_t>(velocity));
}

void CSynthesizer::releaseKey(int32_t note)
{
    if (note < 0 || note >= kKeys)
        return;
    keyDown[note] = 0;
    if (isSustainOn())
        return;
    KeyRecord& key = keys[note];
    if (key.velocity == 0)
        return;
    key.velocity = 0;
    if (voiceMode)
        playVoiceNote(static_cast<int8_t>(note), 0);
    onNote(static_cast<int8_t>(note), 0);
}

void CSynthesizer::onController(int8_t controller)
{
    if (controller < 0)
        return;
    // Every linked parameter follows its controller, whichever one moved.
    for (int32_t i = 0; i < controllerMapSize; ++i) {
        const int8_t link = controllerMap[i];
        if (link < 0)
            continue;
        const float value = static_cast<float>(controllerValues[std::clamp<int>(link, 0, kControllers - 1)]);
        if (wrapper != nullptr)
            wrapper->parameterChanged(i, value);
        setParameter(i, value);
        if (wrapper != nullptr) {
            if (EditorView* editor = wrapper->getEditor())
                editor->requestParameterValue(i, value);
        }
    }
}

void CSynthesizer::onNote(int8_t note, int8_t velocity)
{
    (void)note;
    (void)velocity;
    pattern.rebuildFromKeys(keys);
}

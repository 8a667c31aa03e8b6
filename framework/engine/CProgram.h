#pragma once
#include <cstdint>

// Size of the text buffers that the parameter text operations write into:
// callers (hosts through the adaptors, the editor) must pass at least this many
// characters; every write is bounded by it.
inline constexpr int32_t kParameterTextCapacity = 64;
// A program name holds at most 255 characters and the terminator.
inline constexpr int32_t kProgramNameCapacity = 256;

// One program: a name and, in the subclass, the parameter values. The engine
// keeps programs in a singly linked list that it owns. Called on the host/UI
// thread for parameter texts and names; setParameter/getParameter may also run
// on the audio thread (MIDI controller links, product render hooks).
class CProgram {
public:
    CProgram();
    CProgram(const CProgram&) = delete;
    CProgram& operator=(const CProgram&) = delete;
    virtual ~CProgram() = default;

    virtual void setParameter(int32_t index, float value);
    virtual float getParameter(int32_t index);
    virtual float getParameterDefault(int32_t index);
    // "---"
    virtual void getParameterLabel(int32_t index, char* text);
    // getParameter(index) x 100 as "%.0f"
    virtual void getParameterDisplay(int32_t index, char* text);
    // "<unknown>"
    virtual void getParameterName(int32_t index, char* text);
    virtual void reset();

    // Hosts hold every parameter as a fraction from 0 to 1, while a program
    // may store another scale (a list position). What a host reads of a stored
    // value, and what to store for a host's value (one that is not finite:
    // the write is ignored). Base: the value unchanged both ways.
    virtual float toHostValue(int32_t index, float stored);
    virtual float fromHostValue(int32_t index, float value);

    char name[kProgramNameCapacity];
    CProgram* next = nullptr;
};

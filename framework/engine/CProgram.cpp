#include "framework/engine/CProgram.h"

#include <cstdio>

#include "framework/util/TextCopy.h"

CProgram::CProgram() { name[0] = '\0'; }

void CProgram::setParameter(int32_t index, float value)
{
    (void)index;
    (void)value;
}

float CProgram::getParameter(int32_t index)
{
    (void)index;
    return 0.0f;
}

float CProgram::getParameterDefault(int32_t index)
{
    (void)index;
    return 0.0f;
}

void CProgram::getParameterLabel(int32_t index, char* text)
{
    (void)index;
    copyText(text, kParameterTextCapacity, "---");
}

void CProgram::getParameterDisplay(int32_t index, char* text)
{
    if (text == nullptr)
        return;
    std::snprintf(text, kParameterTextCapacity, "%.0f", static_cast<double>(getParameter(index) * 100.0f));
}

void CProgram::getParameterName(int32_t index, char* text)
{
    (void)index;
    copyText(text, kParameterTextCapacity, "<unknown>");
}

void CProgram::reset() { }

float CProgram::toHostValue(int32_t index, float stored)
{
    (void)index;
    return stored;
}

float CProgram::fromHostValue(int32_t index, float value)
{
    (void)index;
    return value;
}

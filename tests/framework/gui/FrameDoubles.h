#pragma once
#include <cstring>
// Controls and groups for the editor frame's tests: they record what the frame
// hands them, and a control paints its rectangle in one colour.
#include <functional>
#include <string>
#include <vector>

#include "framework/gui/CDrawBuffer.h"
#include "framework/gui/CPluginUI.h"
#include "framework/gui/controls/CControl.h"
#include "framework/gui/controls/CControlGroup.h"
#include "tests/support/StubControl.h"

struct MouseCall {
    int32_t x, y;
    ModifierKeys modifiers;
    MouseCode code;
};

class PaintControl : public StubControl {
public:
    PaintControl(int32_t id, Rect rect, Color colour)
        : StubControl(id, rect)
        , colour_(colour)
    {
    }
    void draw(CDrawBuffer* target) override
    {
        ++draws;
        target->setClip(rect_);
        target->setFillColor(colour_);
        target->fillRect(rect_.x, rect_.y, rect_.w, rect_.h);
    }

    int draws = 0;
    Color colour_;
};

// Records the editor's calls; its idle draws each control through the editor.
class RecordingGroup : public CControlGroup {
public:
    using CControlGroup::CControlGroup;
    void add(CControl* c)
    {
        c->group = this;
        CControl** tail = &controls;
        while (*tail != nullptr)
            tail = &(*tail)->next;
        *tail = c;
    }
    bool onMouse(int32_t x, int32_t y, ModifierKeys m, MouseCode code) override
    {
        mouse.push_back({x, y, m, code});
        if (code == kMouseLeftDown && duringLeftDown) {
            auto once = std::move(duringLeftDown);
            duringLeftDown = nullptr;
            once();
        }
        return true;
    }
    void idle(bool moved, int32_t, int32_t) override
    {
        ++idles;
        movedSeen = movedSeen || moved;
        for (CControl* c = controls; c != nullptr; c = c->next)
            editor->drawControl(c);
    }
    void cancelAll() override { ++cancels; }
    bool onFileDrop(const char* path, int32_t, int32_t) override
    {
        drops.emplace_back(path);
        return acceptDrops;
    }
    void updateValues() override
    {
        ++updates;
        for (CControl* c = controls; c != nullptr; c = c->next)
            c->setValue(editor->getParameterValue(c));
    }

    std::function<void()> duringLeftDown;  // runs once, inside the next left press
    std::vector<MouseCall> mouse;
    std::vector<std::string> drops;
    int idles = 0, cancels = 0, updates = 0;
    bool movedSeen = false;
    bool acceptDrops = true;
};

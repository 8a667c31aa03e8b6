#include "tests/effect/editor/BoardRig.h"

#include "framework/gui/controls/CControl.h"

#include <unistd.h>

#include <cstdio>

namespace boardtest {

namespace {
    void* const kParent = reinterpret_cast<void*>(uintptr_t {77});
}

std::vector<std::string> RecordingHost::about(int32_t index) const
{
    std::vector<std::string> out;
    // Built in two steps: GCC 12's -Wrestrict misreads " " + std::string in Release.
    std::string suffix = " ";
    suffix += std::to_string(index);
    for (const std::string& e : log)
        if (e.size() > suffix.size() && e.compare(e.size() - suffix.size(), suffix.size(), suffix) == 0)
            out.push_back(e);
    return out;
}

Board::Board(bool withPictures, const std::vector<std::string>& presets)
{
    for (const std::string& name : presets) {
        float values[programchunk::kValueCount];
        producttest::defaultValues(values);
        root.addPreset(name + ".tbprg", producttest::makeChunk(values, name.c_str()));
    }
    if (withPictures)
        ::symlink((std::string(TB_MODULE_DIR) + "/Gfx").c_str(), (root.path() + "/Gfx").c_str());
    platform::setWindowSystem(&ws);
    drive = std::make_unique<CDrive>(&host);
    editor = new CDriveEditor(drive.get());
    host.editor = editor;
}

Board::~Board()
{
    host.editor = nullptr;
    editor->destroyView();
    drive.reset();
    platform::setWindowSystem(nullptr);
}

bool Board::open() { return editor->openView(kParent, editor->viewSize()); }

void Board::close() { editor->closeView(); }

void Board::tick()
{
    ws.advance(50);
    ws.pump();
}

void Board::click(int32_t x, int32_t y)
{
    ws.moveCursorTo(editor->windowId(), x, y);
    ws.pressButton(1);
    ws.pump();
    ws.releaseButton(1);
    ws.pump();
}

uint32_t Board::rgb(int32_t x, int32_t y) const { return ws.pixel(editor->windowId(), x, y) & 0xFFFFFFu; }

bool Board::saveBmp(const std::string& path) const
{
    const int32_t w = CDriveEditor::kWidth;
    const int32_t h = CDriveEditor::kHeight;
    const int32_t stride = (w * 3 + 3) & ~3;
    std::vector<uint8_t> file(54 + static_cast<size_t>(stride) * h);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, static_cast<uint32_t>(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(w));
    put32(22, static_cast<uint32_t>(h));
    file[26] = 1;
    file[28] = 24;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const uint32_t p = rgb(x, h - 1 - y);
            uint8_t* d = &file[54 + static_cast<size_t>(y) * stride + 3 * static_cast<size_t>(x)];
            d[0] = static_cast<uint8_t>(p);
            d[1] = static_cast<uint8_t>(p >> 8);
            d[2] = static_cast<uint8_t>(p >> 16);
        }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    const bool ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
    return std::fclose(f) == 0 && ok;
}

void Board::choose(CControl* list, int32_t item)
{
    list->setValue(static_cast<float>(item));
    list->notifyChanged(true);
}

}  // namespace boardtest

// Writes small valid pictures into <dir>/bmp and <dir>/tga, and program chunks
// into <dir>/program, native state streams into <dir>/native, as fuzzing seeds.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "effect/product/ProgramChunk.h"
#include "tests/support/PictureFiles.h"

namespace {

bool save(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

tbtest::Rgba shade(int x, int y)
{
    return tbtest::Rgba {static_cast<uint8_t>(x * 40), static_cast<uint8_t>(y * 50), static_cast<uint8_t>(x ^ y),
        static_cast<uint8_t>(x * y * 30)};
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    const std::string root = argv[1];
    bool ok = true;
    ok &= save(root + "/bmp/3x2.bmp", tbtest::makeBmp(3, 2, shade));
    ok &= save(root + "/bmp/1x1.bmp", tbtest::makeBmp(1, 1, shade));
    ok &= save(root + "/bmp/5x4.bmp", tbtest::makeBmp(5, 4, shade));
    ok &= save(root + "/bmp/2x2.tga", tbtest::makeTga(2, 2, 32, shade));
    ok &= save(root + "/tga/3x2-24.tga", tbtest::makeTga(3, 2, 24, shade));
    ok &= save(root + "/tga/3x2-32.tga", tbtest::makeTga(3, 2, 32, shade));
    ok &= save(root + "/tga/2x3-id.tga", tbtest::makeTga(2, 3, 24, shade, false, "seed"));
    ok &= save(root + "/tga/4x1-top.tga", tbtest::makeTga(4, 1, 32, shade, true));
    float values[programchunk::kValueCount];
    for (int i = 0; i < programchunk::kValueCount; ++i)
        values[i] = static_cast<float>(i % 10) / 9.0f;
    std::vector<uint8_t> chunk(programchunk::kSize);
    programchunk::write(values, "Warm Lead", chunk.data());
    ok &= save(root + "/program/whole.tbprg", chunk);
    chunk.resize(programchunk::kValuesEnd);
    ok &= save(root + "/program/values-only.tbprg", chunk);
    // Native host state streams: "SSXM", the chunk's size, the chunk, the index.
    for (int length : {programchunk::kSize, programchunk::kValuesEnd}) {
        std::vector<uint8_t> stream
            = {'S', 'S', 'X', 'M', static_cast<uint8_t>(length & 0xff), static_cast<uint8_t>(length >> 8), 0, 0};
        std::vector<uint8_t> whole(programchunk::kSize);
        programchunk::write(values, "Warm Lead", whole.data());
        stream.insert(stream.end(), whole.begin(), whole.begin() + length);
        stream.insert(stream.end(), {0, 0, 0, 0});
        ok &= save(root + "/native/state-" + std::to_string(length) + ".bin", stream);
    }
    // A chunk bank and a parameter bank of two programs of two values.
    std::vector<uint8_t> bank(160 + 4, 0);
    std::memcpy(bank.data(), "CcnK", 4);
    std::memcpy(bank.data() + 8, "FBCh", 4);
    bank[15] = 1;
    bank[159] = 4;
    ok &= save(root + "/bank/chunk.fxb", bank);
    bank.assign(156 + 2 * 64, 0);
    std::memcpy(bank.data(), "CcnK", 4);
    std::memcpy(bank.data() + 8, "FxBk", 4);
    bank[15] = 1;
    bank[27] = 2;
    for (std::size_t record : {156u, 220u}) {
        std::memcpy(bank.data() + record, "CcnK", 4);
        std::memcpy(bank.data() + record + 8, "FxCk", 4);
        bank[record + 27] = 2;
        std::memcpy(bank.data() + record + 28, "Seed", 4);
    }
    ok &= save(root + "/bank/params.fxb", bank);
    return ok ? 0 : 1;
}

// Helper of the Ardour host test: checks the files Ardour writes (rendered WAV
// files, the session's copy of the plug-in chunk) and edits that chunk the way
// a stored session from another machine would carry it. Prints one line per
// figure; exits 0 when every check holds, 1 when one fails, 2 on bad usage.

#include "effect/product/ProgramChunk.h"
#include "tests/host_ardour/probe/RenderMeasure.h"
#include "tests/host_ardour/probe/SessionChunk.h"
#include "tests/host_ardour/probe/WavFile.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace ardourprobe;

namespace {

const int32_t kUniqueId = static_cast<int32_t>(programchunk::kMagic);
constexpr float kValueTolerance = 1e-6f;

int usage()
{
    std::fprintf(stderr,
        "usage: tb_ardour_probe render FILE SECONDS MIN_RMS_DB\n"
        "       tb_ardour_probe compare A B SKIP_SECONDS --differ MIN_DB | --same MAX_DB\n"
        "       tb_ardour_probe chunk-show SESSION [--name NAME] [INDEX=VALUE ...]\n"
        "       tb_ardour_probe chunk-edit SESSION NAME [INDEX=VALUE ...]\n");
    return 2;
}

int fail(const std::string& what)
{
    std::printf("FAIL: %s\n", what.c_str());
    return 1;
}

bool parseDouble(const char* text, double& out)
{
    char* end = nullptr;
    errno = 0;
    out = std::strtod(text, &end);
    return errno == 0 && end != text && *end == '\0' && std::isfinite(out);
}

struct Assignment {
    int index;
    float value;
};

bool parseAssignments(int argc, char** argv, int from, std::vector<Assignment>& out)
{
    for (int i = from; i < argc; ++i) {
        const char* eq = std::strchr(argv[i], '=');
        if (eq == nullptr)
            return false;
        char* end = nullptr;
        const long index = std::strtol(argv[i], &end, 10);
        double value = 0.0;
        if (end != eq || index < 0 || index >= programchunk::kValueCount || !parseDouble(eq + 1, value))
            return false;
        out.push_back({static_cast<int>(index), static_cast<float>(value)});
    }
    return true;
}

std::string baseName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool loadText(const std::string& path, std::string& text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream all;
    all << in.rdbuf();
    text = all.str();
    return true;
}

bool saveText(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

int render(const std::string& path, double seconds, double minRmsDb)
{
    WavData wav;
    std::string error;
    if (!readWav(path, wav, error))
        return fail("cannot read the render " + path + ": " + error);
    const RenderStats s = measureRender(wav);
    std::printf("RENDER %s: %lld frames x %d ch @ %d Hz (%.2f s), peak %.2f dBFS, rms %.2f dBFS, non-finite %lld\n",
        baseName(path).c_str(), static_cast<long long>(s.frames), s.channels, s.rate,
        s.rate > 0 ? static_cast<double>(s.frames) / s.rate : 0.0, s.peakDb, s.rmsDb,
        static_cast<long long>(s.nonFinite));
    if (s.channels != 2)
        return fail("the render is not stereo");
    if (static_cast<double>(s.frames) < seconds * s.rate - 1.0)
        return fail("the render is shorter than " + std::to_string(seconds) + " s");
    if (s.nonFinite != 0)
        return fail("the render holds samples that are not finite numbers");
    if (s.rmsDb < minRmsDb)
        return fail("the render is silent (rms below " + std::to_string(minRmsDb) + " dBFS)");
    return 0;
}

int compare(const std::string& a, const std::string& b, double skipSeconds, bool differ, double limitDb)
{
    WavData wa, wb;
    std::string error;
    if (!readWav(a, wa, error) || !readWav(b, wb, error))
        return fail("cannot read a render: " + error);
    const int64_t skip = static_cast<int64_t>(skipSeconds * wa.rate);
    const double d = differenceDb(wa, wb, skip);
    std::printf("COMPARE %s vs %s: difference %.2f dB relative to %s (from %.1f s)\n", baseName(a).c_str(),
        baseName(b).c_str(), d, baseName(a).c_str(), skipSeconds);
    if (differ && d < limitDb)
        return fail("the renders should differ by more than " + std::to_string(limitDb) + " dB");
    if (!differ && d > limitDb)
        return fail("the renders should agree within " + std::to_string(limitDb) + " dB");
    return 0;
}

bool sessionChunk(const std::string& path, std::string& text, programchunk::Parsed& parsed, std::string& error)
{
    if (!loadText(path, text)) {
        error = "cannot read the session file " + path;
        return false;
    }
    std::vector<uint8_t> bytes;
    if (!readSessionChunk(text, kUniqueId, bytes, error))
        return false;
    parsed = programchunk::read(bytes.data(), static_cast<int64_t>(bytes.size()));
    if (parsed.consumed != programchunk::kSize || bytes.size() != programchunk::kSize) {
        error = "the session's chunk is not a whole program chunk (" + std::to_string(bytes.size()) + " bytes)";
        return false;
    }
    return true;
}

int chunkShow(const std::string& path, const char* expectedName, const std::vector<Assignment>& expected)
{
    std::string text, error;
    programchunk::Parsed p {};
    if (!sessionChunk(path, text, p, error))
        return fail(error);
    std::printf(
        "CHUNK in %s: %d bytes, program name \"%s\", values", baseName(path).c_str(), programchunk::kSize, p.name);
    for (const Assignment& e : expected)
        std::printf(" %d=%g", e.index, static_cast<double>(p.values[e.index]));
    std::printf("\n");
    if (expectedName != nullptr && std::strcmp(expectedName, p.name) != 0)
        return fail(std::string("program name should be \"") + expectedName + "\"");
    for (const Assignment& e : expected)
        if (std::fabs(p.values[e.index] - e.value) > kValueTolerance)
            return fail("value " + std::to_string(e.index) + " should be " + std::to_string(e.value));
    return 0;
}

int chunkEdit(const std::string& path, const char* name, const std::vector<Assignment>& changes)
{
    std::string text, error;
    programchunk::Parsed p {};
    if (!sessionChunk(path, text, p, error))
        return fail(error);
    for (const Assignment& c : changes)
        p.values[c.index] = c.value;
    std::vector<uint8_t> bytes(programchunk::kSize);
    programchunk::write(p.values, name, bytes.data());
    if (!replaceSessionChunk(text, kUniqueId, bytes, error) || !saveText(path, text))
        return fail("cannot rewrite the chunk in " + path + (error.empty() ? "" : ": " + error));
    std::printf("EDITED chunk in %s: program name \"%s\"", baseName(path).c_str(), name);
    for (const Assignment& c : changes)
        std::printf(" %d=%g", c.index, static_cast<double>(c.value));
    std::printf("\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return usage();
    const std::string command = argv[1];
    double x = 0.0, y = 0.0;
    if (command == "render" && argc == 5 && parseDouble(argv[3], x) && parseDouble(argv[4], y))
        return render(argv[2], x, y);
    if (command == "compare" && argc == 7 && parseDouble(argv[4], x) && parseDouble(argv[6], y)) {
        const std::string mode = argv[5];
        if (mode == "--differ" || mode == "--same")
            return compare(argv[2], argv[3], x, mode == "--differ", y);
    }
    std::vector<Assignment> values;
    if (command == "chunk-show") {
        const bool named = argc >= 5 && std::strcmp(argv[3], "--name") == 0;
        if (parseAssignments(argc, argv, named ? 5 : 3, values))
            return chunkShow(argv[2], named ? argv[4] : nullptr, values);
    }
    if (command == "chunk-edit" && argc >= 4 && parseAssignments(argc, argv, 4, values))
        return chunkEdit(argv[2], argv[3], values);
    return usage();
}

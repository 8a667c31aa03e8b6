// Build-time tool: turns the readable factory-program table into one
// 460-byte program file per section.
//
//   make_presets <table> <output folder> [stamp file]

#include "effect/dsp/ParameterMap.h"
#include "effect/product/ProgramChunk.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace drive;

const char* const kPedals[]
    = {"none", "distortion", "chorus", "flanger", "phaser", "reverb", "delay", "gate", "eq", "compressor", "modulator"};

struct Program {
    std::string name;
    float values[programchunk::kValueCount];
};

void setDefaults(Program& p)
{
    for (int i = 0; i < programchunk::kValueCount; ++i)
        p.values[i] = (i >= kFirstEnable && i < kFirstEnable + kBoxes) ? 1.0f : 0.5f;
    for (int b = 0; b < kBoxes; ++b)
        p.values[kFirstType + b] = 0.0f;
    p.values[kModel] = 0.0f;
}

std::string trim(const std::string& s)
{
    const size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos)
        return {};
    const size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

std::vector<std::string> words(const std::string& s)
{
    std::vector<std::string> out;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
            ++i;
        size_t j = i;
        while (j < s.size() && s[j] != ' ' && s[j] != '\t')
            ++j;
        if (j > i)
            out.push_back(s.substr(i, j - i));
        i = j;
    }
    return out;
}

struct Reader {
    const char* table;
    int line = 0;
    bool failed = false;

    void fail(const std::string& what)
    {
        std::fprintf(stderr, "%s:%d: %s\n", table, line, what.c_str());
        failed = true;
    }

    bool fraction(const std::string& word, float& out)
    {
        char* end = nullptr;
        const float v = std::strtof(word.c_str(), &end);
        if (end == word.c_str() || *end != '\0' || !std::isfinite(v) || v < 0.0f || v > 1.0f) {
            fail("'" + word + "' is not a value from 0 to 1");
            return false;
        }
        out = v;
        return true;
    }

    bool onOff(const std::string& word, float& out)
    {
        if (word == "on" || word == "off") {
            out = word == "on" ? 1.0f : 0.0f;
            return true;
        }
        fail("expected on or off, got '" + word + "'");
        return false;
    }

    void apply(Program& p, const std::string& key, const std::vector<std::string>& args)
    {
        auto single = [&]() -> const std::string* {
            if (args.size() != 1) {
                fail(key + " takes one value");
                return nullptr;
            }
            return &args[0];
        };
        if (key == "input" || key == "output") {
            if (const std::string* w = single())
                fraction(*w, p.values[key == "input" ? kInputLevel : kOutputLevel]);
        } else if (key == "eq") {
            if (const std::string* w = single())
                onOff(*w, p.values[kEqualiserSwitch]);
        } else if (key == "bands") {
            if (args.size() != kBands)
                return fail("bands takes eight values");
            for (int b = 0; b < kBands; ++b)
                fraction(args[b], p.values[kFirstBand + b]);
        } else if (key == "model") {
            const std::string* w = single();
            if (w == nullptr)
                return;
            if (w->size() != 1 || (*w)[0] < '0' || (*w)[0] > '5')
                return fail("model is 0 to 5");
            p.values[kModel] = static_cast<float>((*w)[0] - '0');
        } else if (key.size() == 4 && key.compare(0, 3, "box") == 0 && key[3] >= '1' && key[3] <= '5') {
            const int box = key[3] - '1';
            if (args.empty() || args.size() > 1 + kKnobsPerBox)
                return fail(key + " takes a pedal and up to five knob values");
            int type = -1;
            for (int t = 0; t < static_cast<int>(sizeof kPedals / sizeof kPedals[0]); ++t)
                if (args[0] == kPedals[t])
                    type = t;
            if (type < 0)
                return fail("unknown pedal '" + args[0] + "'");
            p.values[kFirstType + box] = static_cast<float>(type);
            for (size_t j = 1; j < args.size(); ++j)
                fraction(args[j], p.values[knobIndex(box, static_cast<int>(j) - 1)]);
        } else if (key.size() == 11 && key.compare(0, 3, "box") == 0 && key.compare(4, 7, ".enable") == 0
            && key[3] >= '1' && key[3] <= '5') {
            if (const std::string* w = single())
                onOff(*w, p.values[kFirstEnable + key[3] - '1']);
        } else {
            fail("unknown setting '" + key + "'");
        }
    }
};

bool validName(const std::string& name)
{
    if (name.empty() || name.size() >= static_cast<size_t>(programchunk::kNameBytes) - 6)
        return false;
    for (char c : name)
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20)
            return false;
    return name != "." && name != "..";
}

void removeOldPrograms(const std::string& folder)
{
    DIR* d = opendir(folder.c_str());
    if (d == nullptr)
        return;
    std::vector<std::string> old;
    while (dirent* e = readdir(d)) {
        const std::string n = e->d_name;
        if (n.size() > 6 && n.compare(n.size() - 6, 6, ".tbprg") == 0)
            old.push_back(folder + "/" + n);
    }
    closedir(d);
    for (const std::string& path : old)
        unlink(path.c_str());
}

bool writeProgram(const std::string& folder, const Program& p)
{
    uint8_t chunk[programchunk::kSize];
    programchunk::write(p.values, p.name.c_str(), chunk);
    const std::string path = folder + "/" + p.name + ".tbprg";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    const bool ok = std::fwrite(chunk, 1, sizeof chunk, f) == sizeof chunk;
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <table> <output folder> [stamp file]\n", argv[0]);
        return 2;
    }
    FILE* in = std::fopen(argv[1], "r");
    if (in == nullptr) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    Reader reader {argv[1]};
    std::vector<Program> programs;
    char buf[1024];
    while (std::fgets(buf, sizeof buf, in) != nullptr) {
        ++reader.line;
        const std::string line = trim(buf);
        if (line.empty() || line[0] == '#')
            continue;
        if (line.front() == '[') {
            if (line.back() != ']') {
                reader.fail("unclosed section title");
                continue;
            }
            Program p;
            p.name = trim(line.substr(1, line.size() - 2));
            if (!validName(p.name))
                reader.fail("'" + p.name + "' cannot name a program file");
            for (const Program& q : programs)
                if (q.name == p.name)
                    reader.fail("'" + p.name + "' appears twice");
            setDefaults(p);
            programs.push_back(p);
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos) {
            reader.fail("expected key = value");
            continue;
        }
        if (programs.empty()) {
            reader.fail("setting before the first [program]");
            continue;
        }
        reader.apply(programs.back(), trim(line.substr(0, eq)), words(line.substr(eq + 1)));
    }
    std::fclose(in);
    if (reader.failed)
        return 1;
    if (programs.empty()) {
        std::fprintf(stderr, "%s: no programs\n", argv[1]);
        return 1;
    }

    const std::string folder = argv[2];
    mkdir(folder.c_str(), 0755);
    removeOldPrograms(folder);
    for (const Program& p : programs)
        if (!writeProgram(folder, p))
            return 1;
    if (argc > 3) {
        FILE* stamp = std::fopen(argv[3], "w");
        if (stamp == nullptr)
            return 1;
        std::fprintf(stamp, "%zu programs\n", programs.size());
        std::fclose(stamp);
    }
    return 0;
}

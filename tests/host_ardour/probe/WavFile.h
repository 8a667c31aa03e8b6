#pragma once
// Reads the WAV files a host renders: RIFF/WAVE with 16, 24 or 32-bit integer
// or 32-bit float samples (plain or extensible format record). Every chunk
// size is checked against the file before it is used.

#include <cstdint>
#include <string>
#include <vector>

namespace ardourprobe {

struct WavData {
    int channels = 0;
    int rate = 0;
    bool isFloat = false;
    int bitsPerSample = 0;
    std::vector<std::vector<float>> samples;  // one vector per channel
    int64_t frames() const { return samples.empty() ? 0 : static_cast<int64_t>(samples.front().size()); }
};

// Parses a whole file held in memory; on failure returns false and says why.
bool parseWav(const std::vector<uint8_t>& bytes, WavData& out, std::string& error);
bool readWav(const std::string& path, WavData& out, std::string& error);

}  // namespace ardourprobe

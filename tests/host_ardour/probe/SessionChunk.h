#pragma once
// Finds and rewrites the state chunk that Ardour keeps for a Linux VST in its
// session file: <Processor ... type="lxvst" unique-id="ID"> ... <chunk ...>BASE64</chunk>.

#include <cstdint>
#include <string>
#include <vector>

namespace ardourprobe {

std::string base64Encode(const std::vector<uint8_t>& bytes);
// Whitespace is skipped; any other character outside the alphabet, or a
// length that is not a whole number of groups, fails.
bool base64Decode(const std::string& text, std::vector<uint8_t>& out);

// The chunk of the only plug-in with that VST unique ID in the session text.
bool readSessionChunk(const std::string& session, int32_t uniqueId, std::vector<uint8_t>& chunk, std::string& error);
bool replaceSessionChunk(std::string& session, int32_t uniqueId, const std::vector<uint8_t>& chunk, std::string& error);

}  // namespace ardourprobe

#include "tests/host_ardour/probe/SessionChunk.h"

#include <cstring>

namespace ardourprobe {
namespace {

    constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

    int valueOf(char c)
    {
        const char* p = c == '\0' ? nullptr : std::strchr(kAlphabet, c);
        return p == nullptr ? -1 : static_cast<int>(p - kAlphabet);
    }

    bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

    struct Span {
        size_t begin = 0;  // first character of the base64 text
        size_t end = 0;  // the '<' of "</chunk>"
    };

    // Locates the chunk text of the one lxvst processor with this ID.
    bool findChunk(const std::string& session, int32_t uniqueId, Span& span, std::string& error)
    {
        const std::string id = "unique-id=\"" + std::to_string(uniqueId) + "\"";
        size_t found = std::string::npos;
        int matches = 0;
        for (size_t at = session.find("<Processor "); at != std::string::npos;
             at = session.find("<Processor ", at + 1)) {
            const size_t tagEnd = session.find('>', at);
            if (tagEnd == std::string::npos)
                break;
            const std::string tag = session.substr(at, tagEnd - at);
            if (tag.find("type=\"lxvst\"") != std::string::npos && tag.find(id) != std::string::npos) {
                found = tagEnd;
                ++matches;
            }
        }
        if (matches != 1) {
            error = "expected one lxvst processor with " + id + ", found " + std::to_string(matches);
            return false;
        }
        const size_t close = session.find("</Processor>", found);
        const size_t open = session.find("<chunk", found);
        if (open == std::string::npos || (close != std::string::npos && open > close)) {
            error = "the plug-in's processor holds no chunk";
            return false;
        }
        const size_t textStart = session.find('>', open);
        const size_t textEnd = textStart == std::string::npos ? textStart : session.find("</chunk>", textStart);
        if (textEnd == std::string::npos || (close != std::string::npos && textEnd > close)) {
            error = "unterminated chunk element";
            return false;
        }
        span.begin = textStart + 1;
        span.end = textEnd;
        return true;
    }

}  // namespace

std::string base64Encode(const std::vector<uint8_t>& bytes)
{
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t left = bytes.size() - i;
        const uint32_t group = uint32_t(bytes[i]) << 16 | (left > 1 ? uint32_t(bytes[i + 1]) << 8 : 0u)
            | (left > 2 ? uint32_t(bytes[i + 2]) : 0u);
        out += kAlphabet[(group >> 18) & 63];
        out += kAlphabet[(group >> 12) & 63];
        out += left > 1 ? kAlphabet[(group >> 6) & 63] : '=';
        out += left > 2 ? kAlphabet[group & 63] : '=';
    }
    return out;
}

bool base64Decode(const std::string& text, std::vector<uint8_t>& out)
{
    out.clear();
    uint32_t group = 0;
    int filled = 0;
    int padding = 0;
    for (const char c : text) {
        if (isSpace(c))
            continue;
        if (c == '=') {
            ++padding;
            group <<= 6;
        } else {
            const int v = valueOf(c);
            if (v < 0 || padding > 0)
                return false;
            group = group << 6 | static_cast<uint32_t>(v);
        }
        if (++filled == 4) {
            if (padding > 2)
                return false;
            out.push_back(static_cast<uint8_t>(group >> 16));
            if (padding < 2)
                out.push_back(static_cast<uint8_t>(group >> 8));
            if (padding < 1)
                out.push_back(static_cast<uint8_t>(group));
            group = 0;
            filled = 0;
        }
    }
    return filled == 0;
}

bool readSessionChunk(const std::string& session, int32_t uniqueId, std::vector<uint8_t>& chunk, std::string& error)
{
    Span span;
    if (!findChunk(session, uniqueId, span, error))
        return false;
    if (!base64Decode(session.substr(span.begin, span.end - span.begin), chunk)) {
        error = "the chunk is not valid base64";
        return false;
    }
    return true;
}

bool replaceSessionChunk(std::string& session, int32_t uniqueId, const std::vector<uint8_t>& chunk, std::string& error)
{
    Span span;
    if (!findChunk(session, uniqueId, span, error))
        return false;
    session.replace(span.begin, span.end - span.begin, base64Encode(chunk));
    return true;
}

}  // namespace ardourprobe

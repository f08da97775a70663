#include "PageText.h"

#include <cstdint>

namespace {

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool MatchesAt(std::string_view text, std::size_t at, std::string_view pattern) {
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (LowerAscii(text[at + i]) != LowerAscii(pattern[i])) {
            return false;
        }
    }
    return true;
}

// Decodes one UTF-8 sequence at `at`; returns its length, or 0 when the byte there does not
// begin a valid sequence (overlong forms, surrogates and values above U+10FFFF are invalid).
std::size_t DecodeUtf8(std::string_view text, std::size_t at, std::uint32_t& codePoint) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    std::uint32_t minimum = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        minimum = 0x80;
        codePoint = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        minimum = 0x800;
        codePoint = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        minimum = 0x10000;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            return 0;
        }
        codePoint = (codePoint << 6) | (byte(at + i) & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF ||
        (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        return 0;
    }
    return length;
}

} // namespace

std::string ReplaceAllIgnoringCase(std::string_view text, std::string_view pattern,
                                   std::string_view replacement) {
    if (pattern.empty() || pattern.size() > text.size()) {
        return std::string(text);
    }
    std::string result;
    result.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        if (at + pattern.size() <= text.size() && MatchesAt(text, at, pattern)) {
            result.append(replacement);
            at += pattern.size();
        } else {
            result.push_back(text[at]);
            ++at;
        }
    }
    return result;
}

std::string EscapeHtml(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            result += "&amp;";
            break;
        case '<':
            result += "&lt;";
            break;
        case '>':
            result += "&gt;";
            break;
        case '"':
            result += "&quot;";
            break;
        default:
            result.push_back(c);
        }
    }
    return result;
}

std::string Utf8ToPageText(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        std::uint32_t codePoint = 0;
        std::size_t length = DecodeUtf8(text, at, codePoint);
        if (length == 0) {
            // Names are bytes and need not be UTF-8; such a byte shows as the replacement
            // character rather than as a stray Windows-1252 letter.
            codePoint = 0xFFFD;
            length = 1;
        }
        // Windows-1252 differs from Latin-1 between 0x80 and 0x9F, so only the range both
        // agree on is written as single bytes.
        if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
            result.push_back(static_cast<char>(codePoint));
        } else {
            result += "&#" + std::to_string(codePoint) + ";";
        }
        at += length;
    }
    return result;
}

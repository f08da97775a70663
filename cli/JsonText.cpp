#include "JsonText.h"

#include <cstdint>

namespace {

// The length of the well-formed UTF-8 sequence at the start of `bytes`; 0 when none starts
// there. The ranges of the second byte are those of the Unicode standard's table of
// well-formed sequences.
std::size_t SequenceLength(std::string_view bytes) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const auto within = [&](std::size_t i, unsigned low, unsigned high) {
        return i < bytes.size() && byte(i) >= low && byte(i) <= high;
    };
    const unsigned lead = byte(0);
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return within(1, 0x80, 0xBF) ? 2 : 0;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        const unsigned low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        const unsigned high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
        return within(1, low, high) && within(2, 0x80, 0xBF) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const unsigned low = lead == 0xF0 ? 0x90 : 0x80;  // no overlong forms
        const unsigned high = lead == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
        return within(1, low, high) && within(2, 0x80, 0xBF) && within(3, 0x80, 0xBF) ? 4 : 0;
    }
    return 0;
}

} // namespace

bool IsValidUtf8(std::string_view bytes) {
    while (!bytes.empty()) {
        const std::size_t length = SequenceLength(bytes);
        if (length == 0) {
            return false;
        }
        bytes.remove_prefix(length);
    }
    return true;
}

std::string WithReplacementCharacters(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    while (!bytes.empty()) {
        const std::size_t length = SequenceLength(bytes);
        if (length == 0) {
            text += "\xEF\xBF\xBD";
            bytes.remove_prefix(1);
        } else {
            text.append(bytes.substr(0, length));
            bytes.remove_prefix(length);
        }
    }
    return text;
}

std::string JsonQuoted(std::string_view text) {
    static const char hexDigits[] = "0123456789abcdef";
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (c == '\n') {
            quoted += "\\n";
        } else if (c == '\t') {
            quoted += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            quoted += "\\u00";
            quoted += hexDigits[byte >> 4];
            quoted += hexDigits[byte & 0xF];
        } else {
            quoted += c;
        }
    }
    quoted += '"';
    return quoted;
}

namespace {

std::string Escaped(std::string_view bytes, bool escapeBackslash) {
    static const char hexDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size());
    const auto escapeByte = [&](unsigned char byte) {
        text += "\\x";
        text += hexDigits[byte >> 4];
        text += hexDigits[byte & 0xF];
    };
    while (!bytes.empty()) {
        const auto lead = static_cast<unsigned char>(bytes[0]);
        const std::size_t length = SequenceLength(bytes);
        if (lead == '\\' && escapeBackslash) {
            text += "\\\\";
        } else if (lead == '\n') {
            text += "\\n";
        } else if (lead == '\t') {
            text += "\\t";
        } else if (length == 0 || lead < 0x20 || lead == 0x7F) {
            escapeByte(lead);
        } else if (length == 2 && lead == 0xC2 && static_cast<unsigned char>(bytes[1]) < 0xA0) {
            escapeByte(lead);
            escapeByte(static_cast<unsigned char>(bytes[1]));
        } else {
            text.append(bytes.substr(0, length));
        }
        bytes.remove_prefix(length == 0 ? 1 : length);
    }
    return text;
}

} // namespace

std::string EscapedText(std::string_view bytes) {
    return Escaped(bytes, true);
}

std::string EscapedMessageText(std::string_view bytes) {
    return Escaped(bytes, false);
}

std::string Base64(std::string_view bytes) {
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const auto byte = [&](std::size_t i) -> std::uint32_t {
        return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0;
    };
    std::string encoded;
    encoded.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::uint32_t group = byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2);
        const std::size_t present = bytes.size() - i; // 1, 2, or 3 and more
        encoded += alphabet[group >> 18 & 0x3F];
        encoded += alphabet[group >> 12 & 0x3F];
        encoded += present > 1 ? alphabet[group >> 6 & 0x3F] : '=';
        encoded += present > 2 ? alphabet[group & 0x3F] : '=';
    }
    return encoded;
}

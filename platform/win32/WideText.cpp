#include "WideText.h"

#include <cstdint>

static_assert(sizeof(wchar_t) == 2, "the Windows API's wide characters are UTF-16 units");

namespace {

bool IsHighSurrogate(std::uint32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(std::uint32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

void AppendUtf16(std::wstring& out, std::uint32_t code) {
    if (code < 0x10000) {
        out += static_cast<wchar_t>(code);
    } else {
        code -= 0x10000;
        out += static_cast<wchar_t>(0xD800 | (code >> 10));
        out += static_cast<wchar_t>(0xDC00 | (code & 0x3FF));
    }
}

// Decodes one sequence at `pos`; returns its length, or 0 when the bytes there do not
// form a sequence (overlong forms and values above U+10FFFF included). Surrogate values
// are accepted: they are how an unpaired unit of a name is kept.
std::size_t DecodeOne(std::string_view text, std::size_t pos, std::uint32_t& code) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
    const std::size_t left = text.size() - pos;
    const unsigned lead = byte(0);
    std::size_t length = 0;
    std::uint32_t minimum = 0;
    if (lead < 0x80) {
        code = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (left < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (byte(i) & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF) {
        return 0;
    }
    return length;
}

} // namespace

std::wstring ToWide(std::string_view utf8) {
    std::wstring out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        std::uint32_t code = 0;
        const std::size_t length = DecodeOne(utf8, pos, code);
        if (length == 0) {
            out += static_cast<wchar_t>(0xFFFD);
            ++pos;
            continue;
        }
        AppendUtf16(out, code);
        pos += length;
    }
    return out;
}

std::string FromWide(std::wstring_view wide) {
    std::string out;
    out.reserve(wide.size());
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const std::uint32_t unit = static_cast<std::uint16_t>(wide[i]);
        if (IsHighSurrogate(unit) && i + 1 < wide.size() &&
            IsLowSurrogate(static_cast<std::uint16_t>(wide[i + 1]))) {
            const std::uint32_t low = static_cast<std::uint16_t>(wide[i + 1]);
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
            ++i;
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

std::string_view LeadingCharacters(std::string_view utf8, std::size_t count) {
    std::size_t pos = 0;
    for (std::size_t n = 0; n < count && pos < utf8.size(); ++n) {
        std::uint32_t code = 0;
        const std::size_t length = DecodeOne(utf8, pos, code);
        pos += length == 0 ? 1 : length;
    }
    return utf8.substr(0, pos);
}

#include "SystemMessage.h"

#include "WideText.h"
#include "Win32Api.h"

#include <cwchar>

namespace {

// FormatMessageW in `language`; empty when the system has no text for the code in it.
std::wstring FormatSystemMessage(DWORD code, DWORD language) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
        nullptr, code, language, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length != 0 && buffer != nullptr ? std::wstring(buffer, length) : L"";
    LocalFree(buffer);
    return text;
}

class WindowsCategory final : public std::error_category {
public:
    const char* name() const noexcept override { return "windows"; }
    std::string message(int code) const override {
        return SystemMessage(static_cast<unsigned long>(code));
    }
    std::error_condition default_error_condition(int code) const noexcept override {
        return std::system_category().default_error_condition(code);
    }
};

} // namespace

std::string SystemMessage(unsigned long code) {
    // The user's language first; a system without that language's messages answers in its
    // own.
    std::wstring text = FormatSystemMessage(code, GetUserDefaultLangID());
    if (text.empty()) {
        text = FormatSystemMessage(code, 0);
    }
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' ||
                             text.back() == L'.')) {
        text.pop_back();
    }
    if (text.empty()) {
        wchar_t number[16] = {};
        // The code alone reads the same in every language: an HRESULT in hexadecimal, a
        // Win32 error in decimal.
        std::swprintf(number, 16, code > 0xFFFF ? L"0x%08lX" : L"%lu", code);
        return FromWide(number);
    }
    return FromWide(text);
}

const std::error_category& WindowsErrorCategory() {
    static const WindowsCategory category;
    return category;
}

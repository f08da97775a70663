#include "platform/fs/Language.h"

#include <cstdlib>
#include <string_view>

bool IsGermanLanguage() {
    // The same order of precedence as the C library's choice of the message language.
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value == nullptr || *value == '\0') {
            continue;
        }
        std::string_view locale(value);
        std::string_view language = locale.substr(0, locale.find_first_of("_.@"));
        return language == "de";
    }
    return false;
}

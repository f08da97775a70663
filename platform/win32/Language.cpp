#include "platform/fs/Language.h"

#include "Win32Api.h"

bool IsGermanLanguage() {
    // The low ten bits are the primary language, whatever the country.
    return (GetUserDefaultLangID() & 0x3FF) == LANG_GERMAN;
}

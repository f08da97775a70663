#pragma once

// True when the user's language is German. On Windows the primary language of the user's
// default language identifier is German (LANG_GERMAN, 7); on POSIX the language code of the
// first non-empty of LC_ALL, LC_MESSAGES and LANG is "de" (de_CH.UTF-8, de_AT, de all count).
// Asked anew at every call.
bool IsGermanLanguage();

#pragma once

#include <string_view>

// Every text of the interface in one language, UTF-8. Line breaks inside a text are a single
// carriage return; "&" marks a menu accelerator.
struct InterfaceTexts {
    // Set when the window is created.
    std::string_view Caption;
    std::string_view Headline;
    std::string_view Columns[4];
    std::string_view LocateMenu;
    std::string_view DeleteMenu;
    // Chosen when they are shown.
    std::string_view IdleButton;
    std::string_view StopButton;
    std::string_view BrowseButton;
    std::string_view SizeSuffix;
    std::string_view Panel0;
    std::string_view Panel1;
    std::string_view Panel2;
    std::string_view Summary;
    // Under the summary when the walk left drives out: one drive, several ("%d").
    std::string_view SkippedMountOne;
    std::string_view SkippedMountsMany;
    std::string_view TemplateResource;
    std::string_view CreditLine;
};

const InterfaceTexts& EnglishTexts();
const InterfaceTexts& GermanTexts();
inline const InterfaceTexts& TextsFor(bool german) {
    return german ? GermanTexts() : EnglishTexts();
}

// True when the user's language is German; asked anew at every call.
bool IsGermanUser();

// The publisher's web site; the logo opens it and the report page's pictures live under it.
inline constexpr std::string_view PublisherSiteUrl = "https://www.vantrel.example/";

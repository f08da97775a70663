#include "InterfaceTexts.h"

#include "platform/fs/Language.h"

namespace {

// The credit line names the publisher in both languages alike.
constexpr std::string_view CreditLineText = "Bulkon \u00a9 2009-2026 Vantrel";

const InterfaceTexts English{
    .Caption = "Vantrel - Bulkon largest files on your computer",
    .Headline = "What are the 100 larges files on your computer?\rCheck it out.",
    .Columns = {"Filename", "Folder", "File size", "File date"},
    .LocateMenu = "&Open file location",
    .DeleteMenu = "&Delete",
    .IdleButton = " ",
    .StopButton = "Stop",
    .BrowseButton = "Browse",
    .SizeSuffix = " Byte",
    .Panel0 = "Total %.2f GB (%d%% of %s)",
    .Panel1 = "%d %% of uses disk spaces on %s",
    .Panel2 = "%.3f %% of all files on %s",
    .Summary = "The 100 largest files on %s occupy %.2f GB.<BR>These are %d%% of total hard disk "
               "space and %d%% of the occupied disk space on %s.",
    .SkippedMountOne = "1 network or removable drive was left out.",
    .SkippedMountsMany = "%d network or removable drives were left out.",
    .TemplateResource = "bulkon_en_html",
    .CreditLine = CreditLineText,
};

// The German headline's first line keeps its blank before the line break.
const InterfaceTexts German{
    .Caption = "Vantrel - Die Bulkon gr\u00f6\u00dften Dateien auf Ihrem Computer",
    .Headline = "Welches sind die 100 gr\u00f6\u00dften Dateien auf ihrem Rechner? \rFinden sie "
                "es heraus!",
    .Columns = {"Dateiname", "Ordner", "Dateigr\u00f6\u00dfe", "Ge\u00e4ndert"},
    .LocateMenu = "&\u00d6ffne Dateipfad",
    .DeleteMenu = "&L\u00f6schen",
    .IdleButton = " ",
    .StopButton = "Stopp",
    .BrowseButton = "Browse",
    .SizeSuffix = " Byte",
    .Panel0 = "Zusammen %.2f GB (%d%% von %s)",
    .Panel1 = "%d %% des belegten Platzes auf %s",
    .Panel2 = "%.3f %% aller Dateien auf %s",
    .Summary = "Die 100 gr\u00f6\u00dften Dateien auf %s belegen zusammen %.2f GB.<BR>Das sind "
               "%d%% des gesamten Speicherplatzes und %d%% des belegten Speicherplatzes von %s.",
    .SkippedMountOne = "1 Netzlaufwerk oder Wechseldatentr\u00e4ger wurde ausgelassen.",
    .SkippedMountsMany = "%d Netzlaufwerke oder Wechseldatentr\u00e4ger wurden ausgelassen.",
    .TemplateResource = "bulkon_de_html",
    .CreditLine = CreditLineText,
};

} // namespace

const InterfaceTexts& EnglishTexts() {
    return English;
}

const InterfaceTexts& GermanTexts() {
    return German;
}

bool IsGermanUser() {
    return IsGermanLanguage();
}

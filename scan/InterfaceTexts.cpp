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
    .UnexpectedError = "An unexpected error occurred.",
    .DeleteTitle = "Delete File",
    .DeleteQuestion = "Do you want to delete this file for good?\n\n%1\n\n"
                      "It is not moved to the trash. This cannot be undone.",
    .DeleteIsFolder = "%1\n\nis a folder. Only files are deleted.",
    .DeleteFailed = "The file could not be deleted:\n\n%1\n\n%2",
    .ReportNotCreated = "Cannot create a report file in the temporary folder \"%1\"",
    .ReportNotOpened = "Cannot open the report file \"%1\"",
    .ReportNotWritten = "Cannot write the report file \"%1\"",
    .ReportNotClosed = "Cannot close the report file \"%1\"",
    .PageNotShown = "Cannot show the page \"%1\"",
    .RootUnreadable = "The folder %s could not be read.",
    .OneFolderUnreadable = "1 folder could not be read.",
    .FoldersUnreadable = "%d folders could not be read.",
    .OneFolderUnanswered = "1 folder did not answer.",
    .FoldersUnanswered = "%d folders did not answer.",
    .RevealFailed = "No file manager could be started to show the folder \"%1\".",
    .NoDisplay = "bulkon: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                 "Bulkon is a desktop program. To run it without a desktop, give it a "
                 "virtual screen:\n    xvfb-run -a bulkon\n",
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
    .UnexpectedError = "Ein unerwarteter Fehler ist aufgetreten.",
    .DeleteTitle = "Datei l\u00f6schen",
    .DeleteQuestion = "Soll diese Datei endg\u00fcltig gel\u00f6scht werden?\n\n%1\n\n"
                      "Sie wird nicht in den Papierkorb verschoben. "
                      "Das L\u00f6schen kann nicht r\u00fcckg\u00e4ngig gemacht werden.",
    .DeleteIsFolder = "%1\n\nist ein Ordner. Gel\u00f6scht werden nur Dateien.",
    .DeleteFailed = "Die Datei konnte nicht gel\u00f6scht werden:\n\n%1\n\n%2",
    .ReportNotCreated = "Im tempor\u00e4ren Ordner \"%1\" kann keine Berichtsdatei angelegt werden",
    .ReportNotOpened = "Die Berichtsdatei \"%1\" kann nicht ge\u00f6ffnet werden",
    .ReportNotWritten = "Die Berichtsdatei \"%1\" kann nicht geschrieben werden",
    .ReportNotClosed = "Die Berichtsdatei \"%1\" kann nicht geschlossen werden",
    .PageNotShown = "Die Seite \"%1\" kann nicht angezeigt werden",
    .RootUnreadable = "Der Ordner %s konnte nicht gelesen werden.",
    .OneFolderUnreadable = "1 Ordner konnte nicht gelesen werden.",
    .FoldersUnreadable = "%d Ordner konnten nicht gelesen werden.",
    .OneFolderUnanswered = "1 Ordner hat nicht geantwortet.",
    .FoldersUnanswered = "%d Ordner haben nicht geantwortet.",
    .RevealFailed = "Es konnte kein Dateimanager gestartet werden, der den Ordner \"%1\" zeigt.",
    .NoDisplay = "bulkon: kein Bildschirm gefunden (weder DISPLAY noch WAYLAND_DISPLAY ist "
                 "gesetzt).\nBulkon ist ein Programm f\u00fcr den Desktop. Ohne Desktop "
                 "braucht es einen virtuellen Bildschirm:\n    xvfb-run -a bulkon\n",
};

} // namespace

const InterfaceTexts& EnglishTexts() {
    return English;
}

const InterfaceTexts& GermanTexts() {
    return German;
}

std::string FillIn(std::string_view text, std::string_view first, std::string_view second) {
    std::string result;
    result.reserve(text.size() + first.size() + second.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == '1' || text[i + 1] == '2')) {
            result += text[i + 1] == '1' ? first : second;
            ++i;
        } else {
            result += text[i];
        }
    }
    return result;
}

bool IsGermanUser() {
    return IsGermanLanguage();
}

#include "InterfaceTexts.h"

#include "platform/fs/Language.h"

#include <vector>

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
    .RootUnanswered = "The folder %s did not answer.",
    .RootOnPseudoFileSystem = "The folder %s is not scanned: it belongs to the system's kernel, "
                              "and its sizes are not disk space.",
    .OneFolderUnreadable = "1 folder could not be read.",
    .FoldersUnreadable = "%d folders could not be read.",
    .OneFolderUnanswered = "1 folder did not answer.",
    .FoldersUnanswered = "%d folders did not answer.",
    .RevealFailed = "No file manager could be started to show the folder \"%1\".",
    .NoDisplay = "bulkon: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set, or it "
                 "cannot be opened).\n"
                 "Bulkon is a desktop program. To run it without a desktop, give it a "
                 "virtual screen:\n    xvfb-run -a bulkon\n"
                 "or print the list without a window:\n    bulkon --list FOLDER\n",
    .NoWindowProgram = "bulkon: the window program %s could not be started: %s.\n"
                       "Install Bulkon again, or print the list without a window:\n"
                       "    bulkon --list FOLDER\n",
    .ScanStopped = "Scan stopped after %1 files: the list holds the largest of these.",
    .ListShort = "Only %1 files are listed: the files that came next after the deleted ones "
                 "were not all kept. Scan again for a full list.",
    .CountGroupSeparator = ",",
    .OpenPathTooLong = "The file cannot be opened. Its path is longer than the 259 characters "
                       "that Windows programs can open, and its drive keeps no short name "
                       "for it:\n\n%1\n\nMove it to a shorter path to open it.",
    .DeletePathTooLong = "The file cannot be deleted. Its path is longer than the 259 characters "
                         "that the Windows shell can delete, and its drive keeps no short name "
                         "for it:\n\n%1\n\nRename a folder on its path to a shorter name, "
                         "then delete it.",
    .WindowNotCreated = "Bulkon cannot open its window.\n\n%1",
    .ArgumentsNotFollowed = "Bulkon cannot follow its command line.\n\n%1\n\nStart it with the "
                            "folder to scan, or with none to scan the system drive.",
    .ArgumentUnknownOption = "The option \"%1\" is unknown.",
    .ArgumentTwoFolders = "Only one folder can be scanned, not \"%1\" and \"%2\".",
    .ArgumentListUsage =
        "A list without the window is asked for so: bulkon --list [--json | --null] FOLDER",
    .ArgumentEmptyFolder = "The folder's name is empty.",
    .ArgumentNotAFolder = "\"%1\" is a file, not a folder.",
    .ArgumentNoSuchFolder = "The folder \"%1\" does not exist.",
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
    .RootUnanswered = "Der Ordner %s hat nicht geantwortet.",
    .RootOnPseudoFileSystem = "Der Ordner %s wird nicht durchsucht: Er geh\u00f6rt zum Kernel "
                              "des Systems, und seine Gr\u00f6\u00dfen sind kein Speicherplatz.",
    .OneFolderUnreadable = "1 Ordner konnte nicht gelesen werden.",
    .FoldersUnreadable = "%d Ordner konnten nicht gelesen werden.",
    .OneFolderUnanswered = "1 Ordner hat nicht geantwortet.",
    .FoldersUnanswered = "%d Ordner haben nicht geantwortet.",
    .RevealFailed = "Es konnte kein Dateimanager gestartet werden, der den Ordner \"%1\" zeigt.",
    .NoDisplay = "bulkon: kein Bildschirm gefunden (weder DISPLAY noch WAYLAND_DISPLAY ist "
                 "gesetzt, oder er l\u00e4sst sich nicht \u00f6ffnen).\nBulkon ist ein Programm "
                 "f\u00fcr den Desktop. Ohne Desktop braucht es einen virtuellen Bildschirm:\n"
                 "    xvfb-run -a bulkon\n"
                 "oder es gibt die Liste ohne Fenster aus:\n    bulkon --list ORDNER\n",
    .NoWindowProgram = "bulkon: das Fensterprogramm %s lie\u00df sich nicht starten: %s.\n"
                       "Installieren Sie Bulkon neu, oder geben Sie die Liste ohne Fenster aus:\n"
                       "    bulkon --list ORDNER\n",
    .ScanStopped = "Suche angehalten nach %1 Dateien: die Liste enth\u00e4lt die gr\u00f6\u00dften "
                   "davon.",
    .ListShort = "Nur %1 Dateien sind aufgef\u00fchrt: die nach den gel\u00f6schten "
                 "n\u00e4chstgr\u00f6\u00dften Dateien wurden nicht alle behalten. Eine neue Suche "
                 "ergibt die volle Liste.",
    .CountGroupSeparator = ".",
    .OpenPathTooLong =
        "Die Datei kann nicht ge\u00f6ffnet werden. Ihr Pfad ist l\u00e4nger als die "
        "259 Zeichen, die Windows-Programme \u00f6ffnen k\u00f6nnen, und ihr "
        "Laufwerk f\u00fchrt keinen kurzen Namen f\u00fcr sie:\n\n%1\n\n"
        "Verschieben Sie sie an einen k\u00fcrzeren Pfad, um sie zu \u00f6ffnen.",
    .DeletePathTooLong = "Die Datei kann nicht gel\u00f6scht werden. Ihr Pfad ist l\u00e4nger als "
                         "die 259 Zeichen, die die Windows-Shell l\u00f6schen kann, und ihr "
                         "Laufwerk f\u00fchrt keinen kurzen Namen f\u00fcr sie:\n\n%1\n\n"
                         "Geben Sie einem Ordner auf dem Pfad einen k\u00fcrzeren Namen und "
                         "l\u00f6schen Sie sie dann.",
    .WindowNotCreated = "Bulkon kann sein Fenster nicht \u00f6ffnen.\n\n%1",
    .ArgumentsNotFollowed = "Bulkon kann seiner Befehlszeile nicht folgen.\n\n%1\n\nStarten Sie "
                            "es mit dem Ordner, der durchsucht werden soll, oder ohne Angabe "
                            "f\u00fcr das Systemlaufwerk.",
    .ArgumentUnknownOption = "Die Option \"%1\" ist unbekannt.",
    .ArgumentTwoFolders = "Es kann nur ein Ordner durchsucht werden, nicht \"%1\" und \"%2\".",
    .ArgumentListUsage =
        "Eine Liste ohne Fenster wird so verlangt: bulkon --list [--json | --null] ORDNER",
    .ArgumentEmptyFolder = "Der Name des Ordners ist leer.",
    .ArgumentNotAFolder = "\"%1\" ist eine Datei, kein Ordner.",
    .ArgumentNoSuchFolder = "Den Ordner \"%1\" gibt es nicht.",
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

std::string ShortenedInMiddle(std::string_view text, std::size_t maxCharacters) {
    // Character starts: every byte that is not a UTF-8 continuation byte.
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            starts.push_back(i);
        }
    }
    constexpr std::string_view Gap = "...";
    if (starts.size() <= maxCharacters) {
        return std::string(text);
    }
    if (maxCharacters <= Gap.size()) {
        return std::string(Gap.substr(0, maxCharacters));
    }
    const std::size_t kept = maxCharacters - Gap.size();
    const std::size_t head = kept / 2;
    const std::size_t tail = kept - head;
    std::string shortened(text.substr(0, starts[head]));
    shortened += Gap;
    shortened += text.substr(starts[starts.size() - tail]);
    return shortened;
}

bool IsGermanUser() {
    return IsGermanLanguage();
}

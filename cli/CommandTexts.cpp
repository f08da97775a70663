#include "CommandTexts.h"

namespace {

const CommandTexts English{
    .Usage = "Usage: bulkon [FOLDER]\n"
             "       bulkon --list [--json | --null] FOLDER\n"
             "Shows the 100 largest files under FOLDER, largest first.\n"
             "\n"
             "  FOLDER          open the window and scan FOLDER at start\n"
             "                  (without it, the whole system drive)\n"
             "  --list FOLDER   no window: print one line per file, the size in bytes,\n"
             "                  the local date and time and the full path, separated by tabs\n"
             "  --json          with --list: one JSON document with the totals and the list\n"
             "  -0, --null      with --list: end each file's line with a NUL byte instead of\n"
             "                  a line end and write the path as its bytes, for xargs -0\n"
             "  --help          print this help and exit\n"
             "  --version       print the version and exit\n"
             "\n"
             "Each line of the list is exactly one file: in a path, a line end is written\n"
             "as \\n, a tab as \\t, a backslash as \\\\, and other control characters and\n"
             "bytes that are not UTF-8 as \\xHH. Dates read YYYY-MM-DD HH:MM:SS; a date\n"
             "that cannot be written so is \"@\" and its seconds since 1970 (UTC).\n"
             "\n"
             "Ctrl+C stops a --list scan and prints the files found so far.\n"
             "Exit status: 0 the scan ran to its end; 1 the folder could not be read;\n"
             "2 wrong arguments, or a folder that is not scanned (/proc, /sys, /dev);\n"
             "130 stopped by Ctrl+C.\n",
    .TryHelp = "Try 'bulkon --help' for more information.",
    .UnknownOption = "unknown option '%1'",
    .OneFolderAtMost = "one folder at most, not '%1' and '%2'",
    .JsonNeedsList = "--json goes with --list: bulkon --list --json FOLDER",
    .NullNeedsList = "--null goes with --list: bulkon --list --null FOLDER",
    .JsonOrNull = "--json and --null do not go together: JSON has its own way to write any name",
    .ListNeedsFolder = "--list needs a folder: bulkon --list FOLDER",
    .EmptyFolderName = "the folder's name is empty",
    .NoSuchFolder = "no such folder: '%1'",
    .NotAFolder = "not a folder: '%1'",
    .FolderDeleted = "the folder '%1' no longer exists: it was deleted",
    .NoWindowHere = "the window cannot be opened here",
    .CannotWrite = "cannot write to the standard output: %1",
    .CannotWriteList = "cannot write the list: %1",
    .OneFolderUnreadable = "1 folder could not be read:",
    .FoldersUnreadable = "%1 folders could not be read:",
    .OneOtherDrive = "1 folder on another drive was not entered:",
    .OtherDrives = "%1 folders on other drives were not entered:",
    .OneFolderUnanswered = "1 folder did not answer:",
    .FoldersUnanswered = "%1 folders did not answer:",
    .Stopped = "stopped; the list holds the largest of the %1 files counted until then.",
    .StoppedWhileUnanswered = "stopped while a folder did not answer; the list holds the "
                              "largest of the %1 files counted until then.",
    .ScanFailed = "the scan failed: %1",
};

const CommandTexts German{
    .Usage =
        "Aufruf: bulkon [ORDNER]\n"
        "        bulkon --list [--json | --null] ORDNER\n"
        "Zeigt die 100 gr\u00f6\u00dften Dateien unter ORDNER, die gr\u00f6\u00dfte zuerst.\n"
        "\n"
        "  ORDNER          \u00f6ffnet das Fenster und durchsucht ORDNER beim Start\n"
        "                  (ohne ihn das ganze Systemlaufwerk)\n"
        "  --list ORDNER   ohne Fenster: eine Zeile je Datei mit der Gr\u00f6\u00dfe in Byte,\n"
        "                  dem lokalen Datum mit Uhrzeit und dem vollen Pfad, durch\n"
        "                  Tabulatoren getrennt\n"
        "  --json          mit --list: ein JSON-Dokument mit den Summen und der Liste\n"
        "  -0, --null      mit --list: jede Zeile endet mit einem NUL-Byte statt eines\n"
        "                  Zeilenendes, der Pfad steht Byte f\u00fcr Byte da, f\u00fcr xargs -0\n"
        "  --help          zeigt diese Hilfe und endet\n"
        "  --version       zeigt die Version und endet\n"
        "\n"
        "Jede Zeile der Liste ist genau eine Datei: In einem Pfad steht ein\n"
        "Zeilenende als \\n, ein Tabulator als \\t, ein Backslash als \\\\, andere\n"
        "Steuerzeichen und Bytes, die kein UTF-8 sind, als \\xHH. Ein Datum lautet\n"
        "JJJJ-MM-TT HH:MM:SS; eines, das so nicht geschrieben werden kann, ist \"@\"\n"
        "mit seinen Sekunden seit 1970 (UTC).\n"
        "\n"
        "Strg+C h\u00e4lt eine Suche mit --list an und gibt die bis dahin gefundenen\n"
        "Dateien aus.\n"
        "Exit-Status: 0 die Suche lief bis zum Ende; 1 der Ordner konnte nicht gelesen\n"
        "werden; 2 falsche Argumente oder ein Ordner, der nicht durchsucht wird (/proc,\n"
        "/sys, /dev); 130 mit Strg+C angehalten.\n",
    .TryHelp = "Mehr dazu mit 'bulkon --help'.",
    .UnknownOption = "unbekannte Option '%1'",
    .OneFolderAtMost = "h\u00f6chstens ein Ordner, nicht '%1' und '%2'",
    .JsonNeedsList = "--json geht nur mit --list: bulkon --list --json ORDNER",
    .NullNeedsList = "--null geht nur mit --list: bulkon --list --null ORDNER",
    .JsonOrNull = "--json und --null gehen nicht zusammen: JSON schreibt jeden Namen auf seine "
                  "eigene Weise",
    .ListNeedsFolder = "--list braucht einen Ordner: bulkon --list ORDNER",
    .EmptyFolderName = "der Name des Ordners ist leer",
    .NoSuchFolder = "kein solcher Ordner: '%1'",
    .NotAFolder = "kein Ordner: '%1'",
    .FolderDeleted = "den Ordner '%1' gibt es nicht mehr: er wurde gel\u00f6scht",
    .NoWindowHere = "das Fenster kann hier nicht ge\u00f6ffnet werden",
    .CannotWrite = "die Standardausgabe kann nicht geschrieben werden: %1",
    .CannotWriteList = "die Liste kann nicht geschrieben werden: %1",
    .OneFolderUnreadable = "1 Ordner konnte nicht gelesen werden:",
    .FoldersUnreadable = "%1 Ordner konnten nicht gelesen werden:",
    .OneOtherDrive = "1 Ordner auf einem anderen Laufwerk wurde ausgelassen:",
    .OtherDrives = "%1 Ordner auf anderen Laufwerken wurden ausgelassen:",
    .OneFolderUnanswered = "1 Ordner hat nicht geantwortet:",
    .FoldersUnanswered = "%1 Ordner haben nicht geantwortet:",
    .Stopped = "angehalten; die Liste h\u00e4lt die gr\u00f6\u00dften der %1 bis dahin "
               "gez\u00e4hlten Dateien.",
    .StoppedWhileUnanswered = "angehalten, w\u00e4hrend ein Ordner nicht antwortete; die Liste "
                              "h\u00e4lt die gr\u00f6\u00dften der %1 bis dahin "
                              "gez\u00e4hlten Dateien.",
    .ScanFailed = "die Suche ist fehlgeschlagen: %1",
};

} // namespace

const CommandTexts& EnglishCommandTexts() {
    return English;
}

const CommandTexts& GermanCommandTexts() {
    return German;
}

#include "cli/commandline.h"

#include "cli/allowedcharacters.h"
#include "cli/cliresult.h"
#include "cli/exitstatus.h"
#include "cli/runcommand.h"
#include "cli/undocommand.h"
#include "engine/batchrun.h"
#include "engine/run.h"
#include "selection/filelist.h"
#include "selection/filtercatalogue.h"
#include "settings/lengthtext.h"
#include "settings/optionsstore.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTextStream>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <vector>

namespace {

// Every option of the command line, in the order --help lists them. A new option is a new row
// here and its handling in applyOptions (or runCommandLine).
enum Option { DryRun, Run, Undo, Cut, Number, Remove, Keep, Allowed, Rename, Mobix, Beside, Filter, Settings,
              NoUndo, Verbose, Null, Version, Transliterate, OptionCount };

struct OptionRow {
    Option option;
    const char *name;
    const char *description;
    const char *valueName; // "" for an option without a value
    bool chooses;          // chooses how names are made or shown (refused with --undo)
    char shortName = 0;    // the one-letter form, 0 for none
};

const OptionRow Options[] = {
    {DryRun, "dry-run", "Zeigt, was ein Lauf täte, und ändert nichts.", "", false, 'n'},
    {Run, "run", "Benennt um oder kopiert, mit allen Schutzregeln des Fensters.", "", false},
    {Undo, "undo", "Macht den letzten Lauf im ORDNER rückgängig.", "", false},
    {Cut, "cut", "Kürzt den Namen nach N Zeichen (1 bis 99, Vorgabe 30).", "N", true},
    {Number, "number", "Nummerierte Namen nach MUSTER; %# ist die laufende Nummer.", "MUSTER", true},
    {Remove, "remove", "Entfernt nicht erlaubte Zeichen (Vorgabe).", "", true},
    {Keep, "keep", "Behält alle Zeichen.", "", true},
    {Allowed, "allowed",
     "Die erlaubten Zeichen, Bereiche wie A-Za-z0-9, \\- für einen Bindestrich (Vorgabe: \"A-Za-z0-9 _.\\-\").",
     "ZEICHEN", true},
    {Rename, "rename", "Benennt die Originale um.", "", true},
    {Mobix, "mobix", "Kopiert in den Unterordner MOBIX (Vorgabe).", "", true},
    {Beside, "beside", "Kopiert neben die Originale.", "", true},
    {Filter, "filter",
     "Ein Eintrag der Filterliste des Fensters, z. B. \"*.mp3\" (Vorgabe: \"-----Sounddateien-----\").",
     "EINTRAG", true},
    {Settings, "settings", "Nimmt jede nicht angegebene Option aus den gespeicherten Optionen des Fensters.", "",
     true},
    {NoUndo, "no-undo", "Führt den Lauf auch dann aus, wenn er sich nicht rückgängig machen ließe.", "", true},
    {Verbose, "verbose", "Nennt während des Laufs jede Datei auf der Fehlerausgabe.", "", true, 'v'},
    {Null, "null", "Trennt alten Namen, neuen Namen und Ergebnis durch NUL statt Tabulator und Zeilenende; "
     "die Namen Byte für Byte.", "", true, '0'},
    {Version, "version", "Zeigt die Version.", "", false, 'V'},
    {Transliterate, "transliterate", "Schreibt nicht erlaubte Zeichen um, statt sie zu entfernen (ä → ae).", "", true},
};
static_assert(std::size(Options) == OptionCount);

// Qt's own options for the window (the platform, the style, a session to restore), which the
// window takes; those before "=" take a value.
const char *const WindowSystemOptions[] = {"platform=", "platformpluginpath=", "platformtheme=", "plugin=",
                                           "qwindowgeometry=", "qwindowicon=", "qwindowtitle=", "session=",
                                           "display=", "geometry=", "style=", "stylesheet=", "reverse",
                                           "nograb", "dograb", "sync", "widgetcount"};

const QString Description = QStringLiteral(
    "Gibt Mediendateien kurze, saubere Namen.\n"
    "\n"
    "Ohne Optionen öffnet sich das Fenster, mit einem ORDNER gleich mit diesem Ordner.\n"
    "--dry-run zeigt, was ein Lauf täte („würde kopiert“), und ändert nichts; --run benennt um\n"
    "oder kopiert. Jede Datei, die der Filter auflistet, wird in der Reihenfolge der Liste\n"
    "behandelt; je Datei eine Zeile: alter Name, neuer Name, Ergebnis, durch Tabulatoren\n"
    "getrennt. Tabulator, Zeilenende, Backslash und andere Steuerzeichen in einem Namen stehen\n"
    "dort als \\t, \\n, \\\\ und \\xHH, ebenso jedes Byte, das kein UTF-8 ist; mit --null kommen\n"
    "die Namen unverändert. Ein Ordner ohne passende Dateien ergibt keine Zeile. Nicht\n"
    "angegebene Optionen haben die Vorgaben eines ersten Starts, mit --settings die\n"
    "gespeicherten Optionen des Fensters (die nie geändert werden).\n"
    "\n"
    "Jeder Lauf wird vorher im Protokoll verzeichnet, damit --undo ihn zurücknehmen kann; lässt\n"
    "sich das Protokoll nicht schreiben, unterbleibt der Lauf, außer mit --no-undo.\n"
    "\n"
    "Endestatus: 0 alle Dateien erledigt, 1 einige übersprungen oder nicht alles zurückgenommen,\n"
    "2 falscher Aufruf, ein Ordner, der sich nicht auflisten lässt, ein anderer Lauf im selben\n"
    "Ordner, ein Lauf, der sich nicht rückgängig machen ließe, oder --undo ohne verzeichneten Lauf;\n"
    "3 die Ausgabe ließ sich nicht vollständig schreiben. Mehr in „man kappwerk“.");

struct Parser {
    QCommandLineParser parser;
    std::vector<QCommandLineOption> options;

    Parser()
    {
        parser.setApplicationDescription(Description);
        parser.addHelpOption();
        for (const OptionRow &row : Options) {
            QStringList names{QString::fromLatin1(row.name)};
            if (row.shortName)
                names.prepend(QString(QLatin1Char(row.shortName)));
            options.emplace_back(names, QString::fromUtf8(row.description), QString::fromLatin1(row.valueName));
            parser.addOption(options.back());
        }
        parser.addPositionalArgument(QStringLiteral("ORDNER"), QStringLiteral("Der Ordner mit den Dateien."));
    }

    bool isSet(Option option) const { return parser.isSet(options[option]); }
    QString value(Option option) const { return parser.value(options[option]); }
    int countSet(std::initializer_list<Option> chosen) const
    {
        int count = 0;
        for (const Option option : chosen)
            count += isSet(option);
        return count;
    }
    // How many of the options that choose how names are made are given.
    int countNaming() const
    {
        int count = 0;
        for (const OptionRow &row : Options)
            count += row.chooses && isSet(row.option);
        return count;
    }
};

// The process ends once the command has answered (main), and the system takes its memory back
// at once; freeing a large folder's names one by one first would take about as long as printing
// them. What the command is done with is left to the system.
template <typename Held>
void leftToTheSystem(Held &&held)
{
    static_cast<void>(new Held(std::move(held)));
}

QString quoted(const QString &text)
{
    return QStringLiteral("„") + text + QStringLiteral("“");
}

// Every message on standard error starts with the program's name, as scripts' logs expect.
QTextStream &fail(QTextStream &err)
{
    return err << QStringLiteral("kappwerk: ");
}

int badUsage(QTextStream &err, const QString &message)
{
    fail(err) << message << Qt::endl << QStringLiteral("„kappwerk --help“ zeigt alle Optionen.") << Qt::endl;
    return BadUsage;
}

// Lays the given options over the stored or default ones. Returns false, with the message
// written, for a length or a filter entry that the window would not take.
bool applyOptions(const Parser &p, RenameOptions &options, QString &filterText, QTextStream &err)
{
    if (p.isSet(Cut)) {
        const QString text = p.value(Cut);
        const LengthValue length = readLengthText(text);
        if (length.kind != LengthKind::Valid) {
            badUsage(err, QStringLiteral("Ungültige Länge %1: bitte eine Länge zwischen %2 und %3 Zeichen verwenden.")
                              .arg(quoted(text)).arg(MinimumLength).arg(MaximumLength));
            return false;
        }
        options.CutAfterLength = true;
        options.Rename = false;
        options.MaxFileLength = length.value;
    }
    if (p.isSet(Number)) {
        options.CutAfterLength = false;
        options.Rename = true;
        options.NewFilename = p.value(Number);
    }
    if (p.isSet(Remove) || p.isSet(Keep))
        options.Special = p.isSet(Remove);
    if (p.isSet(Allowed)) {
        const AllowedCharacters allowed = readAllowedCharacters(p.value(Allowed));
        if (!allowed.bad.isEmpty()) {
            badUsage(err, QStringLiteral("Ungültige erlaubte Zeichen %1 bei %2: Bereiche wie A-Z, \\- für einen "
                                         "Bindestrich.").arg(quoted(p.value(Allowed)), quoted(allowed.bad)));
            return false;
        }
        options.SpecialListe = allowed.characters;
    }
    if (p.isSet(Transliterate))
        options.Transliterate = true;
    if (p.isSet(Rename))
        options.Overwrite = true;
    if (p.isSet(Mobix) || p.isSet(Beside)) {
        options.Overwrite = false;
        options.Subdirectory = p.isSet(Mobix);
    }
    if (p.isSet(Filter)) {
        filterText = p.value(Filter);
        if (!extensionCatalogue().contains(filterText)) {
            QStringList entries;
            for (const QString &entry : extensionCatalogue())
                entries << quoted(entry);
            badUsage(err, QStringLiteral("Unbekannter Filter %1. Erlaubt sind die Einträge der Filterliste: %2.")
                              .arg(quoted(filterText), entries.join(QStringLiteral(", "))));
            return false;
        }
    }
    return true;
}

// Lists the folder as the window would, every listed file ticked. Returns false, with the
// message written, when the folder cannot be listed; an empty folder lists nothing.
bool listFolder(const QString &argument, const QString &filterText, std::vector<BatchEntry> &entries,
                QString &folderPath, QTextStream &err)
{
    if (const QString problem = folderArgumentProblem(argument); !problem.isEmpty()) {
        badUsage(err, problem);
        return false;
    }
    const QFileInfo info(argument);
    FileListData files;
    folderPath = FillFileList(files, filterText, false, info.absoluteFilePath(), {});
    // FillFileList answers "" both for a folder without files and for one it cannot read.
    if (folderPath.isEmpty() && !QDir(info.absoluteFilePath()).isReadable()) {
        fail(err) << QStringLiteral("Der Ordner %1 lässt sich nicht auflisten.").arg(quoted(argument)) << Qt::endl;
        return false;
    }
    // The lists are this function's own: their names are moved, not shared and let go again.
    entries.reserve(size_t(files.count()));
    for (int i = 0; i < files.count(); ++i)
        entries.push_back(BatchEntry{std::move(files.entries[i]), std::move(files.extensions[i]),
                                     std::move(files.nativeNames[i]), true});
    return true;
}

} // namespace

bool isCommandLineMode(int argc, const char *const *argv)
{
    // The window takes at most a folder and Qt's window options. Anything else goes to the
    // command line, which refuses what it does not know instead of opening the window.
    int folders = 0;
    for (int i = 1; i < argc; ++i) {
        const char *argument = argv[i];
        if (std::strcmp(argument, "--") == 0) {
            folders += argc - i - 1;
            break;
        }
        if (argument[0] != '-' || argument[1] == '\0') {
            ++folders;
            continue;
        }
        const char *name = argument + (argument[1] == '-' ? 2 : 1);
        const auto windowOption = std::find_if(std::begin(WindowSystemOptions), std::end(WindowSystemOptions),
                                               [name](const char *option) {
                                                   const size_t length = std::strcspn(option, "=");
                                                   return std::strlen(name) == length
                                                       && std::strncmp(option, name, length) == 0;
                                               });
        if (windowOption == std::end(WindowSystemOptions))
            return true;
        if (std::strchr(*windowOption, '='))
            ++i; // its value
    }
    return folders > 1;
}

QString windowFolderArgument(const QStringList &arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments.at(i) == QLatin1String("--"))
            return i + 1 < arguments.size() ? arguments.at(i + 1) : QString();
        if (!arguments.at(i).startsWith(QLatin1Char('-')))
            return arguments.at(i);
    }
    return QString();
}

int runCommandLine(const QStringList &arguments, QSettings &settings, QTextStream &out, QTextStream &err)
{
    Parser p;
    QCommandLineParser &parser = p.parser;
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (unknown.isEmpty())
            return badUsage(err, parser.errorText()); // a missing or unexpected value, naming its option
        const QString dashes = unknown.constFirst().size() == 1 ? QStringLiteral("-") : QStringLiteral("--");
        return badUsage(err, QStringLiteral("Unbekannte Option %1.").arg(quoted(dashes + unknown.constFirst())));
    }
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        out << parser.helpText() << Qt::flush;
        return AllDone;
    }
    if (p.isSet(Version)) {
        // The version the about box names.
        out << QStringLiteral("Kappwerk %1").arg(QStringLiteral(KAPPWERK_VERSION)) << Qt::endl;
        return AllDone;
    }

    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        return badUsage(err, QStringLiteral("Überzähliges Argument %1: bitte genau einen ORDNER angeben.")
                                 .arg(quoted(positional.at(1))));
    if (p.countSet({DryRun, Run, Undo}) != 1)
        return badUsage(err, QStringLiteral("Bitte genau eine der Optionen --dry-run, --run oder --undo angeben."));
    if (positional.isEmpty())
        return badUsage(err, QStringLiteral("Bitte genau einen ORDNER angeben."));
    const QString folder = positional.constFirst();
    if (p.isSet(Undo)) {
        if (p.countNaming() > 0)
            return badUsage(err, QStringLiteral("--undo nimmt außer dem ORDNER keine Optionen."));
        return runUndoCommand(folder, out, err);
    }
    if (p.countSet({Cut, Number}) > 1)
        return badUsage(err, QStringLiteral("--cut und --number schließen einander aus."));
    if (p.countSet({Remove, Keep}) > 1)
        return badUsage(err, QStringLiteral("--remove und --keep schließen einander aus."));
    if (p.countSet({Rename, Mobix, Beside}) > 1)
        return badUsage(err, QStringLiteral("Bitte nur eine der Optionen --rename, --mobix oder --beside angeben."));

    // Without --settings every machine starts from the first-run defaults, so a script does
    // the same everywhere.
    const StoredOptions stored = p.isSet(Settings) ? readOptions(settings) : StoredOptions();
    RenameOptions options = runOptions(stored);
    QString filterText = extensionCatalogue().value(stored.extensionIndex,
                                                    extensionCatalogue().at(StoredOptions().extensionIndex));
    if (!applyOptions(p, options, filterText, err))
        return BadUsage;

    std::vector<BatchEntry> entries;
    QString folderPath;
    if (!listFolder(folder, filterText, entries, folderPath, err))
        return BadUsage;
    if (entries.empty())
        return AllDone;

    // The records are bytes: a name that is not UTF-8 is written as it is (--null) or escaped.
    const RecordFormat format = p.isSet(Null) ? RecordFormat::Null : RecordFormat::Escaped;
    out.flush();
    QIODevice &device = *out.device();
    // Records are gathered and written in blocks: a write per line costs more than the line,
    // and a block reused costs no fresh memory for the next lines.
    QByteArray records;
    const auto gathered = [&records, &device]() {
        if (records.size() >= 64 * 1024) {
            device.write(records);
            records.resize(0);
        }
    };
    int skipped = 0;
    if (p.isSet(DryRun)) {
        std::vector<PlannedEntry> plan = previewRun(entries, options, folderPath);
        for (size_t i = 0; i < plan.size(); ++i) {
            const EntryResult result = plannedResult(i, plan[i], options);
            skipped += result.outcome == Outcome::Skipped;
            appendResultRecord(records, entries[i], result, true, format);
            gathered();
        }
        leftToTheSystem(std::move(plan));
    } else {
        RunReport report;
        if (const int refused = runWithJournal(entries, options, folderPath, p.isSet(Verbose), p.isSet(NoUndo), err, &report))
            return refused;
        if (report.folderUnusable) {
            fail(err) << QStringLiteral("Der Ordner %1 lässt sich nicht öffnen.").arg(quoted(folder)) << Qt::endl;
            return BadUsage;
        }
        for (const EntryResult &result : report.results) {
            appendResultRecord(records, entries.at(result.index), result, false, format);
            gathered();
        }
        skipped = report.countSkipped();
        leftToTheSystem(std::move(report.results));
    }
    device.write(records);
    leftToTheSystem(std::move(entries));
    return skipped > 0 ? SomeSkipped : AllDone;
}

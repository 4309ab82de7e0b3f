#include "optionsstore.h"

#include "lengthtext.h"

#include <QSettings>
#include <QStringList>

namespace {

const char *const KeyExtension = "Extension.ListIndex";
const char *const KeySpecialListe = "SpecialListe.Text";
const char *const KeyCutAfterLength = "CutAfterLength.Value";
const char *const KeyRename = "Rename.Value";
const char *const KeyMaxFileLength = "MaxFileLength.Text";
const char *const KeyNewFilename = "NewFilename.Text";
const char *const KeyOverwrite = "Overwrite.Value";
const char *const KeySubdirectory = "Subdirectory.Value";
const char *const KeySubdirectoryEnabled = "Subdirectory.Enabled";
const char *const KeySpecial = "Special.Value";
const char *const KeyTransliterate = "Transliterate.Value";

// The stored text of a key, or nothing when the key is missing. A hand-edited value with
// unquoted commas comes back from the INI reader as a list; it is joined again.
std::optional<QString> storedText(QSettings &settings, const char *key)
{
    const QString name = QString::fromLatin1(key);
    if (!settings.contains(name))
        return std::nullopt;
    const QVariant value = settings.value(name);
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1String(", "));
    return value.toString();
}

std::optional<qint64> parseStoredInteger(const QString &text)
{
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok, 10);
    return ok ? std::optional<qint64>(value) : std::nullopt;
}

int readInteger(QSettings &settings, const char *key, int fallback, int lowest, int highest)
{
    const std::optional<QString> text = storedText(settings, key);
    if (!text)
        return fallback;
    const std::optional<qint64> value = parseStoredInteger(*text);
    if (!value || *value < lowest || *value > highest)
        return fallback;
    return int(*value);
}

bool readBool(QSettings &settings, const char *key, bool fallback)
{
    const std::optional<QString> text = storedText(settings, key);
    if (!text)
        return fallback;
    return parseStoredBool(*text).value_or(fallback);
}

QString readText(QSettings &settings, const char *key, const QString &fallback)
{
    return storedText(settings, key).value_or(fallback);
}

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

std::optional<bool> parseStoredBool(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (trimmed.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    if (const std::optional<double> number = parseNumericText(trimmed))
        return *number != 0.0;
    return std::nullopt;
}

RenameOptions runOptions(const StoredOptions &stored)
{
    RenameOptions options;
    options.CutAfterLength = stored.cutAfterLength;
    options.Rename = stored.rename;
    const LengthValue length = readLengthText(stored.maxFileLength);
    options.MaxFileLength = length.kind == LengthKind::Valid ? length.value
        : length.kind == LengthKind::Empty                     ? MinimumLength
                                                                : DefaultCutLength;
    options.NewFilename = stored.newFilename;
    options.Special = stored.special == 1;
    options.SpecialListe = stored.specialListe;
    options.Subdirectory = stored.subdirectory == 1;
    options.Overwrite = stored.overwrite == 1;
    options.Transliterate = stored.transliterate == 1;
    return options;
}

std::unique_ptr<QSettings> openUserSettings()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kappwerk"),
                                       QStringLiteral("Kappwerk"));
}

StoredOptions readOptions(QSettings &settings)
{
    const StoredOptions defaults;
    StoredOptions options;
    settings.beginGroup(QString::fromLatin1(OptionsGroup));
    options.extensionIndex =
        readInteger(settings, KeyExtension, defaults.extensionIndex, -1, ExtensionEntryCount - 1);
    options.specialListe = readText(settings, KeySpecialListe, defaults.specialListe);
    options.cutAfterLength = readBool(settings, KeyCutAfterLength, defaults.cutAfterLength);
    options.rename = readBool(settings, KeyRename, defaults.rename);
    // The two modes are one group: exactly one of them is on. Selecting them in the stored
    // order leaves the numbering option on when both say so; with neither, the cut mode.
    options.cutAfterLength = !options.rename;
    // An empty length passes on, so the length check turns it into "1" as for an emptied field.
    options.maxFileLength = readText(settings, KeyMaxFileLength, defaults.maxFileLength);
    if (!options.maxFileLength.isEmpty() && !parseNumericText(options.maxFileLength))
        options.maxFileLength = defaults.maxFileLength;
    options.newFilename = readText(settings, KeyNewFilename, defaults.newFilename);
    options.overwrite = readInteger(settings, KeyOverwrite, defaults.overwrite, 0, 2);
    options.subdirectory = readInteger(settings, KeySubdirectory, defaults.subdirectory, 0, 2);
    options.subdirectoryEnabled =
        readBool(settings, KeySubdirectoryEnabled, defaults.subdirectoryEnabled);
    options.special = readInteger(settings, KeySpecial, defaults.special, 0, 2);
    options.transliterate = readInteger(settings, KeyTransliterate, defaults.transliterate, 0, 1);
    settings.endGroup();
    return options;
}

bool writeOptions(QSettings &settings, const StoredOptions &options)
{
    settings.beginGroup(QString::fromLatin1(OptionsGroup));
    settings.setValue(QString::fromLatin1(KeyExtension), QString::number(options.extensionIndex));
    settings.setValue(QString::fromLatin1(KeySpecialListe), options.specialListe);
    settings.setValue(QString::fromLatin1(KeyCutAfterLength), boolText(options.cutAfterLength));
    settings.setValue(QString::fromLatin1(KeyRename), boolText(options.rename));
    settings.setValue(QString::fromLatin1(KeyMaxFileLength), options.maxFileLength);
    settings.setValue(QString::fromLatin1(KeyNewFilename), options.newFilename);
    settings.setValue(QString::fromLatin1(KeyOverwrite), QString::number(options.overwrite));
    settings.setValue(QString::fromLatin1(KeySubdirectory), QString::number(options.subdirectory));
    settings.setValue(QString::fromLatin1(KeySubdirectoryEnabled), boolText(options.subdirectoryEnabled));
    settings.setValue(QString::fromLatin1(KeySpecial), QString::number(options.special));
    settings.setValue(QString::fromLatin1(KeyTransliterate), QString::number(options.transliterate));
    settings.endGroup();
    // QSettings writes through a lock file and an atomic rename; status() tells whether that
    // worked, which isWritable() cannot promise for a folder that refuses the file.
    settings.sync();
    return settings.status() == QSettings::NoError;
}

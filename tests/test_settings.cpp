// Options survive a restart: a real settings file in a temporary folder, written by the real
// window at its close and read by the next one.
#include "app/mainwindow.h"
#include "settings/optionsstore.h"
#include "testsupport.h"
#include "toolkit/controls.h"
#include "toolkit/progressbar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QDir>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestSettings : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void firstRunShowsTheDefaults();
    void closeAndRestart();
    void storedLengthOutOfRange();
    void allowedStringsRoundTrip_data();
    void allowedStringsRoundTrip();
    void unusableValuesTakeTheirDefault_data();
    void unusableValuesTakeTheirDefault();
    void booleans_data();
    void booleans();
    void corruptFile();
    void unwritableFolder();

private:
    QString settingsPath() const { return m_dir->filePath(QStringLiteral("Kappwerk/Kappwerk.conf")); }
    std::unique_ptr<Main> start(const QString &path = QString());
    void closeWindow();
    template <typename T> T *control(const char *name) const
    {
        return m_window->findChild<T *>(QString::fromLatin1(name));
    }
    void store(const QString &key, const QString &value);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MessageRecorder> m_messages;
    std::unique_ptr<QSettings> m_settings;
    std::unique_ptr<Main> m_window;
};

void TestSettings::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_messages = std::make_unique<MessageRecorder>();
}

void TestSettings::cleanup()
{
    m_window.reset();
    m_settings.reset();
    m_messages.reset();
    m_dir.reset();
}

std::unique_ptr<Main> TestSettings::start(const QString &path)
{
    m_window.reset();
    m_settings = std::make_unique<QSettings>(path.isEmpty() ? settingsPath() : path, QSettings::IniFormat);
    return std::make_unique<Main>(*m_settings);
}

void TestSettings::closeWindow()
{
    m_window->close();
    m_window.reset();
    m_settings.reset();
}

void TestSettings::store(const QString &key, const QString &value)
{
    QSettings settings(settingsPath(), QSettings::IniFormat);
    settings.setValue(QStringLiteral("Optionen/") + key, value);
}

void TestSettings::firstRunShowsTheDefaults()
{
    m_window = start();
    QCOMPARE(control<QComboBox>("Extension")->count(), 25);
    QCOMPARE(control<QComboBox>("Extension")->currentText(), QStringLiteral("-----Sounddateien-----"));
    QCOMPARE(control<toolkit::ProgressBar>("Fortschritt")->progress(), 100.0f);
    QVERIFY(control<QRadioButton>("CutAfterLength")->isChecked());
    QVERIFY(!control<QRadioButton>("Rename")->isChecked());
    QCOMPARE(control<QLineEdit>("MaxFileLength")->text(), QStringLiteral("30"));
    QCOMPARE(control<QLineEdit>("NewFilename")->text(), QStringLiteral("%# - Dateiname"));
    QCOMPARE(toolkit::checkValue(control<QCheckBox>("Overwrite")), 0);
    QCOMPARE(toolkit::checkValue(control<QCheckBox>("Subdirectory")), 1);
    QVERIFY(control<QCheckBox>("Subdirectory")->isEnabled());
    QCOMPARE(toolkit::checkValue(control<QCheckBox>("Special")), 1);
    QCOMPARE(m_window->specialListe(),
             QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 -_."));
    QCOMPARE(m_messages->count(), 0);
}

void TestSettings::closeAndRestart()
{
    m_window = start();
    control<QRadioButton>("Rename")->setChecked(true);
    control<QLineEdit>("MaxFileLength")->setText(QStringLiteral("12"));
    control<QCheckBox>("Overwrite")->setChecked(true);
    control<QCheckBox>("Special")->setChecked(false);
    control<QComboBox>("Extension")->setCurrentIndex(3);
    closeWindow();

    QFile file(settingsPath());
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString text = QString::fromUtf8(file.readAll());
    QVERIFY(text.startsWith(QLatin1String("[Optionen]")));
    for (const char *line : {"Extension.ListIndex=3", "CutAfterLength.Value=false", "Rename.Value=true",
                             "MaxFileLength.Text=12", "Overwrite.Value=1", "Subdirectory.Value=1",
                             "Subdirectory.Enabled=false", "Special.Value=0"})
        QVERIFY2(text.contains(QLatin1String(line)), line);

    m_window = start();
    QVERIFY(control<QRadioButton>("Rename")->isChecked());
    QVERIFY(!control<QRadioButton>("CutAfterLength")->isChecked());
    QCOMPARE(control<QLineEdit>("MaxFileLength")->text(), QStringLiteral("12"));
    QVERIFY(control<QCheckBox>("Overwrite")->isChecked());
    QVERIFY(!control<QCheckBox>("Subdirectory")->isEnabled());
    QVERIFY(control<QCheckBox>("Subdirectory")->isChecked());
    QVERIFY(!control<QCheckBox>("Special")->isChecked());
    QCOMPARE(control<QComboBox>("Extension")->currentText(), QStringLiteral("*.jpg"));
}

void TestSettings::storedLengthOutOfRange()
{
    store(QStringLiteral("MaxFileLength.Text"), QStringLiteral("150"));
    m_window = start();
    QCOMPARE(m_messages->count(), 1);
    QCOMPARE(m_messages->records().first().title, QStringLiteral("Achtung"));
    QCOMPARE(control<QLineEdit>("MaxFileLength")->text(), QStringLiteral("30"));
    closeWindow();
    QSettings settings(settingsPath(), QSettings::IniFormat);
    QCOMPARE(settings.value(QStringLiteral("Optionen/MaxFileLength.Text")).toString(), QStringLiteral("30"));
}

void TestSettings::allowedStringsRoundTrip_data()
{
    QTest::addColumn<QString>("allowed");
    QString grid;
    for (int code = 32; code < 256; ++code)
        grid.append(QChar(code));
    QString controlCharacters;
    for (int code = 1; code < 32; ++code)
        controlCharacters.append(QChar(code));
    QTest::newRow("empty") << QString();
    QTest::newRow("spaces around") << QStringLiteral("  ab  ");
    QTest::newRow("quotes") << QStringLiteral("\"a'b\"");
    QTest::newRow("ini syntax") << QStringLiteral(";=#[]\\,");
    QTest::newRow("tab and line feed") << QStringLiteral("a\tb\nc\r");
    QTest::newRow("below 32") << controlCharacters;
    QTest::newRow("all of the grid") << grid;
    QTest::newRow("beyond the grid") << QStringLiteral("€ŸĀ日本😀");
    QTest::newRow("looks like a variant") << QStringLiteral("@Variant(x)");
    QTest::newRow("comma list") << QStringLiteral("a, b, c");
}

void TestSettings::allowedStringsRoundTrip()
{
    QFETCH(QString, allowed);
    {
        QSettings settings(settingsPath(), QSettings::IniFormat);
        StoredOptions options;
        options.specialListe = allowed;
        options.newFilename = allowed;
        QVERIFY(writeOptions(settings, options));
    }
    QSettings settings(settingsPath(), QSettings::IniFormat);
    const StoredOptions read = readOptions(settings);
    QCOMPARE(read.specialListe, allowed);
    QCOMPARE(read.newFilename, allowed);

    // Through the real window: restored at load, written again at close, unchanged.
    m_window = start();
    QCOMPARE(m_window->specialListe(), allowed);
    closeWindow();
    QSettings again(settingsPath(), QSettings::IniFormat);
    QCOMPARE(readOptions(again).specialListe, allowed);
}

void TestSettings::unusableValuesTakeTheirDefault_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("expected");

    QTest::newRow("index beyond the list") << "Extension.ListIndex" << "25" << "Extension" << "-----Sounddateien-----";
    QTest::newRow("index below -1") << "Extension.ListIndex" << "-2" << "Extension" << "-----Sounddateien-----";
    QTest::newRow("index no number") << "Extension.ListIndex" << "drei" << "Extension" << "-----Sounddateien-----";
    QTest::newRow("index -1 chooses nothing") << "Extension.ListIndex" << "-1" << "Extension" << "";
    QTest::newRow("check state 3") << "Special.Value" << "3" << "Special" << "1";
    QTest::newRow("check state word") << "Overwrite.Value" << "yes" << "Overwrite" << "0";
    QTest::newRow("greyed check state") << "Special.Value" << "2" << "Special" << "2";
    QTest::newRow("length no number") << "MaxFileLength.Text" << "zwölf" << "MaxFileLength" << "30";
    QTest::newRow("length empty") << "MaxFileLength.Text" << "" << "MaxFileLength" << "30";
    QTest::newRow("length decimal") << "MaxFileLength.Text" << "12,0" << "MaxFileLength" << "12,0";
    QTest::newRow("empty pattern stays empty") << "NewFilename.Text" << "" << "NewFilename" << "";
}

void TestSettings::unusableValuesTakeTheirDefault()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, control);
    QFETCH(QString, expected);
    store(key, value);
    m_window = start();
    QWidget *widget = m_window->findChild<QWidget *>(control);
    QVERIFY(widget);
    QString shown;
    if (auto *combo = qobject_cast<QComboBox *>(widget))
        shown = combo->currentText();
    else if (auto *box = qobject_cast<QCheckBox *>(widget))
        shown = QString::number(toolkit::checkValue(box));
    else if (auto *edit = qobject_cast<QLineEdit *>(widget))
        shown = edit->text();
    QCOMPARE(shown, expected);
    QCOMPARE(m_messages->count(), 0);
}

void TestSettings::booleans_data()
{
    QTest::addColumn<QString>("cut");
    QTest::addColumn<QString>("rename");
    QTest::addColumn<bool>("renameOn");

    QTest::newRow("words") << "false" << "true" << true;
    QTest::newRow("any letter case") << "FALSE" << "True" << true;
    QTest::newRow("numbers") << "0" << "-1" << true;
    QTest::newRow("decimal zero is false") << "1" << "0.0" << false;
    QTest::newRow("no and off are no booleans") << "off" << "no" << false;
    QTest::newRow("both off selects cut") << "false" << "false" << false;
    QTest::newRow("both on selects cut") << "true" << "true" << false;
}

void TestSettings::booleans()
{
    QFETCH(QString, cut);
    QFETCH(QString, rename);
    QFETCH(bool, renameOn);
    store(QStringLiteral("CutAfterLength.Value"), cut);
    store(QStringLiteral("Rename.Value"), rename);
    m_window = start();
    QCOMPARE(control<QRadioButton>("Rename")->isChecked(), renameOn);
    QCOMPARE(control<QRadioButton>("CutAfterLength")->isChecked(), !renameOn);
}

void TestSettings::corruptFile()
{
    QDir().mkpath(m_dir->filePath(QStringLiteral("Kappwerk")));
    QFile file(settingsPath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    QByteArray garbage("[Optionen\n\x01\x02=\xff\xfe\x00\x00MaxFileLength.Text=\n[[[", 40);
    garbage.append(QByteArray(4096, '\xff'));
    file.write(garbage);
    file.close();
    m_window = start();
    QCOMPARE(control<QLineEdit>("MaxFileLength")->text(), QStringLiteral("30"));
    QCOMPARE(control<QComboBox>("Extension")->currentIndex(), 6);
    QCOMPARE(m_messages->count(), 0);
    closeWindow();
}

void TestSettings::unwritableFolder()
{
    // The settings folder's place is taken by a file, so nothing can be written there.
    QFile blocker(m_dir->filePath(QStringLiteral("Kappwerk")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    m_window = start();
    QSignalSpy unloaded(m_window.get(), &Main::unloaded);
    m_window->close();
    QCOMPARE(unloaded.count(), 1);
    QVERIFY(!QFile::exists(settingsPath()));
    QSettings settings(settingsPath(), QSettings::IniFormat);
    StoredOptions options;
    QVERIFY(!writeOptions(settings, options));
}

QTEST_MAIN(TestSettings)
#include "test_settings.moc"

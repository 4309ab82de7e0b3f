// Options survive a restart: a real settings file in a temporary folder, written by the real
// window at its close and read by the next one.
#include "settings/optionsstore.h"
#include "toolkit/progressbar.h"
#include "windowfixture.h"

#include <QRegularExpression>
#include <QScreen>

class TestSettings : public QObject, public WindowFixture
{
    Q_OBJECT
private slots:
    void init() { m_config = std::make_unique<QTemporaryDir>(); }
    void cleanup() { m_window.reset(); m_settings.reset(); }
    // The first start shows the defaults; what the user sets comes back after a restart (the
    // stored values below).
    void defaults()
    {
        start();
        QCOMPARE(shown("Extension,CutAfterLength,Rename,MaxFileLength,NewFilename,Overwrite,Subdirectory,Special"),
                 "-----Sounddateien-----|on|off|30|%# - Dateiname|0|1|1");
        QCOMPARE(c<toolkit::ProgressBar>("Fortschritt")->progress(), 100.0f);
        QCOMPARE(m_window->specialListe(), StoredOptions().specialListe);
        QCOMPARE(m_messages.count(), 0);
    }
    void storedValues_data()
    {
        columns<QString, QString, QString>("keys", "value", "expected"); // what each key's control shows, by "|"
        const QString sound = QStringLiteral("-----Sounddateien-----");
        QString codes; // 1 to 255: below the grid's 32 too
        for (int code = 1; code < 256; ++code)
            codes.append(QChar(code));
        const auto row = [](const char *name, const char *keys, const QString &value, const QString &expected) {
            QTest::newRow(name) << QString(keys) << value << expected;
        };
        // Texts come back exactly as stored, whatever they hold; an empty one stays empty.
        row("empty text", "SpecialListe.Text", "", "");
        row("ini syntax", "NewFilename.Text", "  \"a'b\";=#[]\\, x  ", "  \"a'b\";=#[]\\, x  ");
        row("codes 1 to 255", "SpecialListe.Text", codes, codes);
        row("beyond", "NewFilename.Text", "€ŸĀ日本😀@Variant(x)", "€ŸĀ日本😀@Variant(x)");
        row("pattern wider than its field", "NewFilename.Text", "%## - Best of Classics Vol 1 - Track",
            "%## - Best of Classics Vol 1 - Track");
        // A stored choice is an index into the list, so entries are only ever added at its end.
        row("index of the last entry of the first list", "Extension.ListIndex", "24", "*.*");
        row("index of the last entry", "Extension.ListIndex", "44", "*.m4v");
        row("index beyond the list", "Extension.ListIndex", "45", sound);
        row("index no number", "Extension.ListIndex", "drei", sound);
        row("index -1 chooses nothing", "Extension.ListIndex", "-1", "");
        row("check state 3", "Special.Value", "3", "1");
        row("transliteration on", "Transliterate.Value", "1", "1");
        row("greyed check state", "Special.Value", "2", "2");
        row("boolean any case", "Rename.Value", "TRUE", "on");
        row("'no' is no boolean", "Subdirectory.Enabled", "no", "1");
        row("decimal zero is false", "Subdirectory.Enabled", "0.0", "1 greyed");
        // Both modes stored on: the numbering option, stored later, wins; neither on gives the cut mode.
        row("both modes on", "CutAfterLength.Value,Rename.Value", "1", "off|on");
        row("both modes off", "CutAfterLength.Value,Rename.Value", "false", "on|off");
        row("length", "MaxFileLength.Text", "12", "12");
        row("length no number", "MaxFileLength.Text", "zwölf", "30");
        row("length empty gives 1", "MaxFileLength.Text", "", "1");
    }
    void storedValues()
    {
        QFETCH(QString, keys);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        for (const QString &key : keys.split(u','))
            store(key, value);
        // What each key's control shows, then the same after a restart: the window writes the
        // options at its close.
        for (int pass = 0; pass < 2; ++pass) {
            if (pass > 0)
                m_window->close();
            start();
            QCOMPARE(shown(QString(keys).remove(QRegularExpression("\\.\\w+"))), expected);
            QCOMPARE(m_messages.count(), 0);
            // Whatever was stored, exactly one of the two modes is on.
            QVERIFY(shown("CutAfterLength") != shown("Rename"));
        }
        // Greyed comes only from the store: the user's clicks tick and clear.
        for (auto *box : m_window->findChildren<QCheckBox *>(Qt::FindChildrenRecursively))
            for (int click = 0; click < 3 && box->isEnabled(); ++click) {
                QTest::mouseClick(box, Qt::LeftButton);
                QVERIFY2(toolkit::checkValue(box) != 2, qPrintable(box->objectName()));
            }
    }
    void corruptFileAndUnwritableFolder()
    {
        QDir().mkpath(QFileInfo(settingsPath()).path());
        QFile file(settingsPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("[Optionen\n\x01=\xff\xfe\x00MaxFileLength.Text=\n[[[", 32) + QByteArray(4096, '\xff'));
        file.close();
        start();
        QCOMPARE(shown("MaxFileLength,Extension"), QStringLiteral("30|-----Sounddateien-----"));
        // The settings folder's place is taken by a file: nothing can be written, closing still works.
        m_window.reset();
        QVERIFY(QDir(m_config->filePath(QStringLiteral("Kappwerk"))).removeRecursively());
        QFile blocker(m_config->filePath(QStringLiteral("Kappwerk")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        start();
        QSignalSpy unloaded(m_window.get(), &Main::unloaded);
        m_window->close();
        QCOMPARE(unloaded.count(), 1);
        QVERIFY(!QFile::exists(settingsPath()));
        QCOMPARE(m_messages.count(), 0);
    }
    // A length out of range gives the default with a warning, centred on the screen while the
    // window loads, and centred over the window once it is shown.
    void warningBoxIsCentred()
    {
        store(QStringLiteral("MaxFileLength.Text"), QStringLiteral("150"));
        QList<QRect> boxes = m_messages.realBoxes([this] { start(); });
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(shown("MaxFileLength"), QStringLiteral("30"));
        QVERIFY((boxes[0].center() - QGuiApplication::primaryScreen()->availableGeometry().center()).manhattanLength() <= 2);
        m_window->show();
        m_window->move(40, 50);
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        boxes = m_messages.realBoxes([this] { c<QLineEdit>("MaxFileLength")->setText("0"); });
        QCOMPARE(boxes.size(), 1);
        QVERIFY((boxes[0].center() - m_window->frameGeometry().center()).manhattanLength() <= 2);
    }

private:
    void store(const QString &key, const QString &value)
    {
        QSettings(settingsPath(), QSettings::IniFormat).setValue(QStringLiteral("Optionen/") + key, value);
    }
    // What controls show, separated by "|": the chosen entry, the check value, the text or
    // whether the option is on.
    QString shown(const QString &names) const
    {
        QStringList values;
        for (const QString &name : names.split(u',')) {
            QWidget *widget = m_window->findChild<QWidget *>(name);
            if (name == QLatin1String("SpecialListe"))
                values << m_window->specialListe();
            else if (name == QLatin1String("Transliterate"))
                values << QString::number(m_window->transliterate());
            else if (auto *combo = qobject_cast<QComboBox *>(widget))
                values << combo->currentText();
            else if (auto *box = qobject_cast<QCheckBox *>(widget))
                values << QString::number(toolkit::checkValue(box)) + (box->isEnabled() ? "" : " greyed");
            else if (auto *option = qobject_cast<QRadioButton *>(widget))
                values << (option->isChecked() ? "on" : "off");
            else if (auto *field = qobject_cast<QLineEdit *>(widget)) // showing its start, not its end
                values << field->text() + (field->cursorPosition() == 0 ? "" : " from its end");
        }
        return values.join(u'|');
    }
};


QTEST_MAIN(TestSettings)
#include "test_settings.moc"

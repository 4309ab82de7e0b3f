// The batch run as the user starts it from the main window, on real folders: the options as
// the controls hold them, the run on its worker thread with the controls locked, stopping it,
// the report of skipped files, and taking the last run back.
#include "windowfixture.h"

#include <QProcess>
#include <QThread>

class TestMainRun : public QObject, public WindowFixture
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        toolkit::ensureTahoma();
        // The journals of these runs go to a folder of the test's own.
        qputenv("XDG_STATE_HOME", QFile::encodeName(m_state.path()));
    }
    void init() { setUp(); }
    void cleanup() { tearDown(); }
    // The run works on a worker thread: meanwhile the window keeps its controls locked and takes
    // only the request to stop, which asks first.
    void runOnWorker_data()
    {
        columns<QString, int, int>("request", "answer", "copies"); // how the user asks to stop
        QTest::newRow("close box, no: the run goes on") << "close" << int(toolkit::ResultNo) << 3;
        QTest::newRow("Escape, yes: stops after the file") << "escape" << int(toolkit::ResultYes) << 1;
        QTest::newRow("Programm beenden, yes: stops and closes") << "button" << int(toolkit::ResultYes) << 1;
    }
    void runOnWorker();
    void runOptions_data();
    // A run started through the window with check boxes in any of their three states, and
    // lengths the check lets through: only a real tick counts, and greying Overwrite greys nothing.
    void runOptions()
    {
        QFETCH(QList<int>, boxes);
        QFETCH(QString, pattern);
        QFETCH(QString, length);
        QFETCH(QString, folder);
        const QString original = QStringLiteral("Schubert - Ständchen.mp3");
        makeFile(original, bytesOf(original));
        open(m_folder->path());
        click("Cut");
        expectMessage("Keine Dateien ausgewählt. Wählen Sie zuerst Ordner öffnen.", toolkit::StyleCritical, "Fehler");
        m_messages.clear();
        list()->setSelected(0, true);
        toolkit::setCheckValue(c<QCheckBox>("Overwrite"), boxes[0]);
        toolkit::setCheckValue(c<QCheckBox>("Subdirectory"), boxes[1]);
        toolkit::setCheckValue(c<QCheckBox>("Special"), boxes[2]);
        QCOMPARE(c("Subdirectory")->isEnabled(), boxes[0] != 1);
        c<QRadioButton>(pattern.isEmpty() ? "CutAfterLength" : "Rename")->setChecked(true);
        c<QLineEdit>("NewFilename")->setText(pattern);
        const QSignalBlocker unchecked(c("MaxFileLength")); // a text the check has not seen yet
        c<QLineEdit>("MaxFileLength")->setText(length);
        click("Cut");
        QCOMPARE(folderState(m_folder->path() + '/').join(u'|'), folder);
        // Only a refused run leaves the folder as it was, and it says why; a run lists the folder
        // as it is now, nothing ticked.
        const bool refused = folder == original;
        QCOMPARE(m_messages.count(), int(refused));
        if (refused)
            expectMessage("Bitte eine Länge zwischen 1 und 99 Zeichen verwenden.", 16, "Achtung");
        QStringList listed = list()->texts();
        listed.sort();
        QCOMPARE(listed, QDir(m_folder->path()).entryList(QDir::Files, QDir::Name));
        QCOMPARE(list()->anySelected(), refused);
    }
    // A run from the window is taken back by the window (Ctrl+Z, after asking) or by the command
    // line; either way the folder is as before, and then there is nothing left to undo.
    void undo_data()
    {
        QTest::addColumn<bool>("byCommandLine");
        QTest::newRow("Ctrl+Z in the window") << false;
        QTest::newRow("kappwerk --undo") << true;
    }
    void undo()
    {
        QFETCH(bool, byCommandLine);
        const QStringList before{"Schubert - Ständchen.mp3", "Schubert.mp3", "Wanderer.mp3"};
        for (const QString &name : before)
            makeFile(name, bytesOf(name));
        open(m_folder->path());
        QVERIFY(!m_window->canUndo());
        c<QCheckBox>("Overwrite")->setChecked(true);
        c<QLineEdit>("MaxFileLength")->setText(QStringLiteral("3"));
        click("AllFiles");
        click("Cut");
        // "Schubert.mp3" cuts to the name the entry before it got; the other two are renamed.
        QCOMPARE(m_messages.count(), 1);
        expectMessage("1 von 3 ausgewählten Dateien wurden übersprungen:\nSchubert.mp3 → Sch.mp3: Name schon vergeben",
                      toolkit::StyleExclamation, "Kappwerk");
        QCOMPARE(list()->texts(), (QStringList{"Sch.mp3", "Schubert.mp3", "Wan.mp3"}));
        QVERIFY(m_window->canUndo());
        m_messages.clear();
        if (byCommandLine) {
            QProcess kappwerk;
            kappwerk.start(QStringLiteral(KAPPWERK_BINARY), {"--undo", m_folder->path()});
            QVERIFY(kappwerk.waitForFinished(30000));
            QCOMPARE(kappwerk.exitCode(), 0);
            QCOMPARE(QString::fromUtf8(kappwerk.readAllStandardOutput()).count('\n'), 2);
            QTest::keyClick(list(), Qt::Key_F5);
        } else {
            QTest::keyClick(m_window->windowHandle(), Qt::Key_Z, Qt::ControlModifier);
            expectMessage(QStringLiteral("Den letzten Lauf in %1 rückgängig machen?").arg(QDir::toNativeSeparators(m_folder->path())),
                          toolkit::StyleQuestionYesNo, "Kappwerk");
        }
        QCOMPARE(list()->texts(), before);
        QCOMPARE(folderState(m_folder->path() + '/'), before);
        QVERIFY(!m_window->canUndo());
    }

private:
    QTemporaryDir m_state;
};

void TestMainRun::runOnWorker()
{
    QFETCH(QString, request);
    QFETCH(int, answer);
    QFETCH(int, copies);
    for (const char *name : {"a.mp3", "b.mp3", "c.mp3"})
        makeFile(QString::fromLatin1(name), QByteArray(4 << 20, name[0]));
    open(m_folder->path());
    click("AllFiles");
    m_messages.setAnswer(answer);
    m_messages.clear();
    QStringList locked;
    const auto ask = [&] {
        QVERIFY(m_window->isBusy());
        for (QWidget *control : m_window->findChildren<QWidget *>())
            if (!control->isEnabled() && qobject_cast<QGroupBox *>(control->parentWidget()))
                locked << control->objectName();
        QVERIFY(c("Close")->isEnabled());
        if (request == "escape")
            QTest::keyClick(m_window.get(), Qt::Key_Escape);
        else if (request == "button")
            click("Close");
        else
            m_window->windowHandle()->close();
    };
    // The request comes while the first copy is about to be published; the worker waits a
    // moment there, so the window answers first.
    setBeforePublishForTest([&, first = true](const NativeName &) mutable {
        if (!std::exchange(first, false))
            return;
        QMetaObject::invokeMethod(m_window.get(), ask, Qt::QueuedConnection);
        QThread::msleep(300);
    });
    const auto restore = qScopeGuard([] { setBeforePublishForTest({}); });
    QSignalSpy unloaded(m_window.get(), &Main::unloaded);
    click("Cut");
    locked.sort();
    QCOMPARE(locked, (QStringList{"About", "AllFiles", "Cut", "CutAfterLength", "Extension", "FileList", "MaxFileLength",
                                  "NewFilename", "NoFiles", "Open", "Overwrite", "Rename", "SelectSpecial", "Special",
                                  "Subdirectory"}));
    // After a stop the skipped files are reported, unless the window is closing.
    QCOMPARE(m_messages.count(), request == "escape" ? 2 : 1);
    QCOMPARE(m_messages.records().first().text, QStringLiteral("Lauf abbrechen?"));
    QCOMPARE(m_messages.records().first().style, int(toolkit::StyleQuestionYesNoDefaultNo));
    if (request == "escape")
        expectMessage("2 von 3 ausgewählten Dateien wurden übersprungen:\nb.mp3 → b.mp3: abgebrochen\n"
                      "c.mp3 → c.mp3: abgebrochen", toolkit::StyleExclamation, "Kappwerk");
    QCOMPARE(QDir(m_folder->filePath("MOBIX")).entryList(QDir::Files | QDir::Hidden).size(), copies);
    QCOMPARE(m_window->lastRun().cancelled, copies < 3);
    QCOMPARE(unloaded.count(), request == "button" ? 1 : 0);
    QCOMPARE(m_window->isVisible(), request != "button");
    QVERIFY(c("Cut")->isEnabled() && c("Subdirectory")->isEnabled());
    QCOMPARE(list()->count(), 3);
}

void TestMainRun::runOptions_data()
{
    // Overwrite, Subdirectory and Special (0, 1 or 2 for greyed), the numbering pattern (empty for
    // the cut mode), the length, and the folder afterwards.
    columns<QList<int>, QString, QString, QString>("boxes", "pattern", "length", "folder");
    const QString original = QStringLiteral("Schubert - Ständchen.mp3"), from = '=' + original;
    QTest::newRow("greyed Overwrite copies, MOBIX stays operable")
        << QList{2, 1, 1} << "" << "30" << "MOBIX/|MOBIX/Schubert - Stndchen.mp3" + from + '|' + original;
    QTest::newRow("Overwrite renames beside MOBIX's greyed tick") << QList{1, 1, 1} << "" << "30"
                                                                  << "Schubert - Stndchen.mp3" + from;
    QTest::newRow("greyed MOBIX copies beside") << QList{0, 2, 1} << "" << "30"
                                                << "Schubert - Stndchen.mp3" + from + '|' + original;
    QTest::newRow("greyed Special keeps all") << QList{0, 1, 2} << "" << "30"
                                              << "MOBIX/|MOBIX/" + original + from + '|' + original;
    // "%" and "#" go with the umlauts, so the number comes first.
    QTest::newRow("numbering pattern loses its umlauts") << QList{0, 0, 1} << "Grüße %#" << "30"
                                                         << "1Gre .mp3" + from + '|' + original;
    QTest::newRow("2,5 cuts to 2, half to even") << QList{0, 0, 1} << "" << "2,5" << "Sc.mp3" + from + '|' + original;
    QTest::newRow("0,5 is refused") << QList{0, 0, 1} << "" << "0,5" << original;
}

QTEST_MAIN(TestMainRun)
#include "test_mainrun.moc"

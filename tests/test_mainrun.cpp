// The batch run as the user starts it from the main window, on real folders: the options as
// the controls hold them, the run on its worker thread with the controls locked, stopping it,
// the report of skipped files, and taking the last run back.
#include "app/runcontroller.h"
#include "runtable.h"
#include "windowfixture.h"

#include <QProcess>
#include <QThread>

#include <atomic>

namespace {
// A check box's three states, as toolkit::setCheckValue takes them.
enum Box { Unticked = 0, Ticked = 1, Greyed = 2 };
const QString stopQuestion = QStringLiteral("Kappwerk, question, no by default: Lauf abbrechen?");
} // namespace

class TestMainRun : public QObject, public WindowFixture
{
    Q_OBJECT
private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }
    // The run works on a worker thread: meanwhile the window keeps its controls locked and takes
    // only the request to stop, which asks first. After a stop the skipped files are reported,
    // unless the window is closing.
    void runOnWorker_data()
    {
        columns<QString, int, int, QStringList>("request", "answer", "copies", "messages");
        const QString cancelled = "Kappwerk, warning: 2 von 3 ausgewählten Dateien wurden übersprungen:\n"
                                  "b.mp3 → b.mp3: abgebrochen\nc.mp3 → c.mp3: abgebrochen";
        QTest::newRow("close box, no: the run goes on")
            << "close" << int(toolkit::ResultNo) << 3 << QStringList{stopQuestion};
        QTest::newRow("Escape, yes: stops after the file")
            << "escape" << int(toolkit::ResultYes) << 1 << QStringList{stopQuestion, cancelled};
        QTest::newRow("Programm beenden, yes: stops and closes")
            << "button" << int(toolkit::ResultYes) << 1 << QStringList{stopQuestion};
        // The card stops answering during the first copy: the window closes without the run.
        QTest::newRow("Programm beenden, yes, the card hangs: closes without the run")
            << "hung" << int(toolkit::ResultYes) << 1 << QStringList{stopQuestion};
    }
    void runOnWorker()
    {
        QFETCH(QString, request);
        QFETCH(int, answer);
        QFETCH(int, copies);
        QFETCH(QStringList, messages);
        for (const char *name : {"a.mp3", "b.mp3", "c.mp3"})
            makeFile(QString::fromLatin1(name), QByteArray(4 << 20, name[0]));
        open(m_folder->path());
        click("AllFiles");
        m_messages.setAnswer(answer);
        QStringList locked;
        bool busy = false;
        std::atomic<bool> released = false;
        const auto ask = [&] {
            busy = m_window->isBusy() && c("Close")->isEnabled();
            for (QWidget *control : m_window->findChildren<QWidget *>())
                if (!control->isEnabled() && qobject_cast<QGroupBox *>(control->parentWidget()))
                    locked << control->objectName();
            const std::map<QString, std::function<void()>> requests{
                {"escape", [&] { QTest::keyClick(m_window.get(), Qt::Key_Escape); }},
                {"button", [&] { click("Close"); }},
                {"hung", [&] { click("Close"); }},
                {"close", [&] { m_window->windowHandle()->close(); }}};
            requests.at(request)();
        };
        // The request comes while the first copy is about to be published; the worker waits a
        // moment there, so the window answers first.
        setBeforePublishForTest([&, first = true](const NativeName &) mutable {
            if (!std::exchange(first, false))
                return;
            QMetaObject::invokeMethod(m_window.get(), ask, Qt::QueuedConnection);
            QThread::msleep(300);
            while (request == "hung" && !released)
                QThread::msleep(10);
        });
        const auto restore = qScopeGuard([] { setBeforePublishForTest({}); });
        // Ending the workers (finishBackgroundWork) would end threads that live as long as the
        // program; the run's own end is waited for instead.
        const RunController *runner = m_window->findChild<RunController *>();
        auto release = qScopeGuard([&] {
            released = true;
            (void)QTest::qWaitFor([&] { return !runner->isBusy(); }, 60000);
        });
        QSignalSpy unloaded(m_window.get(), &Main::unloaded), finished(m_window.get(), &Main::runFinished);
        m_window->setWorkInline(false);
        click("Cut");
        if (request == "hung") {
            // Closed, with the options saved, while the run still waits; once the card answers
            // the run ends unseen.
            QVERIFY(unloaded.wait(20000));
            QVERIFY(!m_window->isVisible() && finished.isEmpty());
            release.dismiss();
            released = true;
            QVERIFY(QTest::qWaitFor([&] { return !runner->isBusy(); }, 60000));
            QCOMPARE(this->messages(), messages);
            QCOMPARE(finished.count(), 0);
            return;
        }
        QVERIFY(finished.wait(60000));
        QVERIFY(busy);
        QCOMPARE(sorted(locked), (QStringList{"About", "AllFiles", "Cut", "CutAfterLength", "Extension", "FileList", "MaxFileLength",
                                      "NewFilename", "NoFiles", "Open", "Overwrite", "Rename", "SelectSpecial", "Special",
                                      "Subdirectory"}));
        QCOMPARE(this->messages(), messages);
        QCOMPARE(QDir(m_folder->filePath("MOBIX")).entryList(QDir::Files | QDir::Hidden).size(), copies);
        QCOMPARE(m_window->lastRun().cancelled, copies < 3);
        QCOMPARE(unloaded.count(), request == "button" ? 1 : 0);
        QCOMPARE(m_window->isVisible(), request != "button");
        QVERIFY(c("Cut")->isEnabled() && c("Subdirectory")->isEnabled());
        QCOMPARE(list()->count(), 3);
    }
    // A run started through the window with check boxes in any of their three states, and
    // lengths the check lets through: only a real tick counts, and greying Overwrite greys nothing.
    // Overwrite greys the subfolder option, and gives it back when unticked, never changing its tick.
    // Before the run the window takes the folder's journal: a folder another run or undo holds is
    // left alone, and a run that could not be taken back starts only when the user says so.
    // Only a refused run leaves the folder as it was, and it says why; a run lists the folder as
    // it is now, nothing ticked, and can be taken back when its journal was written.
    void runOptions_data()
    {
        // The three check boxes, the numbering pattern (empty for the cut mode), the length, the
        // folder afterwards, the messages shown, what is in the journal's place ("busy": the
        // journal of another run, "folder": a folder, so none can be written) and the answer to
        // the question.
        columns<QList<int>, QString, QString, QString, QStringList, QString, int>("boxes", "pattern", "length", "folder",
                                                                                "messages", "journal", "answer");
        const QString original = QStringLiteral("Schubert - Ständchen.mp3"), from = '=' + original, kept = from + '|' + original;
        const QString cannot = "Kappwerk, question, no by default: Dieser Lauf kann nicht rückgängig gemacht werden "
                               "(die Protokolldatei ist keine normale Datei). Trotzdem ausführen?";
        const auto row = [](const char *name, QList<int> boxes, const char *pattern, const char *length, const QString &folder,
                            const QStringList &messages = {}, const char *journal = "", int answer = toolkit::ResultYes) {
            QTest::newRow(name) << boxes << QString(pattern) << QString(length) << folder << messages << QString(journal)
                                << answer;
        };
        row("greyed Overwrite copies, MOBIX stays operable", {Greyed, Ticked, Ticked}, "", "30",
            "MOBIX/|MOBIX/Schubert - Stndchen.mp3" + kept);
        row("Overwrite renames beside MOBIX's greyed tick", {Ticked, Ticked, Ticked}, "", "30", "Schubert - Stndchen.mp3" + from);
        row("greyed MOBIX copies beside", {Unticked, Greyed, Ticked}, "", "30", "Schubert - Stndchen.mp3" + kept);
        row("greyed Special keeps all", {Unticked, Ticked, Greyed}, "", "30", "MOBIX/|MOBIX/" + original + kept);
        // The umlauts go, the placeholder around them stays where it is.
        row("numbering pattern loses its umlauts", {Unticked, Unticked, Ticked}, "Grüße %#", "30", "Gre 1.mp3" + kept);
        row("2,5 cuts to 2, half to even", {Unticked, Unticked, Ticked}, "", "2,5", "Sc.mp3" + kept);
        row("0,5 is refused, with a warning", {Unticked, Unticked, Ticked}, "", "0,5", original,
            {"Achtung, stop: Bitte eine Länge zwischen 1 und 99 Zeichen verwenden."});
        row("another run holds the folder", {Ticked, Unticked, Ticked}, "", "8", original,
            {"Kappwerk, warning: In diesem Ordner läuft gerade ein anderer Lauf."}, "busy");
        row("no journal possible, the user says no", {Ticked, Ticked, Ticked}, "", "8", original, {cannot}, "folder",
            toolkit::ResultNo);
        row("no journal possible, the user goes ahead", {Ticked, Ticked, Ticked}, "", "8", "Schubert.mp3" + from, {cannot},
            "folder");
    }
    void runOptions()
    {
        QFETCH(QList<int>, boxes); // Overwrite, Subdirectory, Special
        QFETCH(QString, pattern);
        QFETCH(QString, length);
        QFETCH(QString, folder);
        QFETCH(QStringList, messages);
        QFETCH(QString, journal);
        QFETCH(int, answer);
        const QString original = QStringLiteral("Schubert - Ständchen.mp3"), journalFile = journalPath(m_folder->path() + '/');
        QDir().mkpath(journalFolder());
        JournalFile other;
        if (journal == "busy")
            QCOMPARE(other.open(journalFile, true), 0);
        else if (journal == "folder") // no plain file, never written into
            QVERIFY(QDir().mkpath(journalFile));
        const auto removeFolder = qScopeGuard([&] { QDir().rmdir(journalFile); });
        makeFiles({original});
        open(m_folder->path());
        list()->setSelected(0, true);
        toolkit::setCheckValue(c<QCheckBox>("Overwrite"), boxes[0]);
        toolkit::setCheckValue(c<QCheckBox>("Subdirectory"), boxes[1]);
        toolkit::setCheckValue(c<QCheckBox>("Special"), boxes[2]);
        QCOMPARE(c("Subdirectory")->isEnabled(), boxes[0] != Ticked);
        QCOMPARE(toolkit::checkValue(c<QCheckBox>("Subdirectory")), boxes[1]);
        c<QRadioButton>(pattern.isEmpty() ? "CutAfterLength" : "Rename")->setChecked(true);
        c<QLineEdit>("NewFilename")->setText(pattern);
        const QSignalBlocker unchecked(c("MaxFileLength")); // a text the check has not seen yet
        c<QLineEdit>("MaxFileLength")->setText(length);
        m_messages.setAnswer(answer);
        click("Cut");
        QCOMPARE(folderState(m_folder->path() + '/').join(u'|'), folder);
        QCOMPARE(this->messages(), messages);
        QCOMPARE(sorted(list()->texts()), QDir(m_folder->path()).entryList(QDir::Files, QDir::Name));
        QCOMPARE(list()->anySelected(), folder == original);
        QCOMPARE(m_window->canUndo(), messages.isEmpty());
        QTest::mouseClick(c<QCheckBox>("Overwrite"), Qt::LeftButton);
        QCOMPARE(c("Subdirectory")->isEnabled(), boxes[0] == Ticked);
        QCOMPARE(toolkit::checkValue(c<QCheckBox>("Subdirectory")), boxes[1]);
    }
    // A run from the window is taken back by the window (Ctrl+Z, after asking) or by the command
    // line; either way the folder is as before, and then there is nothing left to undo. An undo
    // cannot be stopped: Escape during it asks nothing.
    void undo_data()
    {
        columns<bool, bool, QStringList>("byCommandLine", "escape", "messages");
        const QString asked = "Kappwerk, question, yes or no: Den letzten Lauf in %1 rückgängig machen?";
        QTest::newRow("Ctrl+Z in the window") << false << false << QStringList{asked};
        QTest::newRow("Ctrl+Z, then Escape during the undo") << false << true << QStringList{asked};
        QTest::newRow("kappwerk --undo, two lines of output") << true << false << QStringList{"status 0, 2 lines"};
    }
    void undo()
    {
        QFETCH(bool, byCommandLine);
        QFETCH(bool, escape);
        QFETCH(QStringList, messages);
        const QStringList before{"Schubert - Ständchen.mp3", "Schubert.mp3", "Wanderer.mp3"};
        makeFiles(before);
        open(m_folder->path());
        QVERIFY(!m_window->canUndo());
        c<QCheckBox>("Overwrite")->setChecked(true);
        c<QLineEdit>("MaxFileLength")->setText(QStringLiteral("3"));
        click("AllFiles");
        click("Cut");
        // "Schubert.mp3" cuts to the name the entry before it got; the other two are renamed.
        QCOMPARE(this->messages(), QStringList{"Kappwerk, warning: 1 von 3 ausgewählten Dateien wurden übersprungen:\n"
                                               "Schubert.mp3 → Sch.mp3: Name schon vergeben"});
        QCOMPARE(list()->texts(), (QStringList{"Sch.mp3", "Schubert.mp3", "Wan.mp3"}));
        QVERIFY(m_window->canUndo());
        m_messages.clear();
        // Either way gives what it said: the window's question, or the command line's status and output.
        // Escape comes while the undo, on its worker, holds an old name before the rename onto it.
        const auto restore = qScopeGuard([] {
            setPublishLimitForTest(PublishLimit::None);
            setReservationPauseForTest(0);
        });
        if (escape) {
            m_window->setWorkInline(false);
            setPublishLimitForTest(PublishLimit::NoLinks);
            setReservationPauseForTest(300);
        }
        if (!byCommandLine)
            QTest::keyClick(m_window->windowHandle(), Qt::Key_Z, Qt::ControlModifier);
        if (escape) {
            QTest::keyClick(m_window.get(), Qt::Key_Escape);
            const RunController *runner = m_window->findChild<RunController *>();
            QVERIFY(QTest::qWaitFor([&] { return !runner->isBusy() && list()->texts() == before; }, 30000));
        }
        QCOMPARE(byCommandLine ? undoByCommandLine() : this->messages(),
                 messages.replaceInStrings("%1", QDir::toNativeSeparators(m_folder->path())));
        QCOMPARE(list()->texts(), before);
        QCOMPARE(folderState(m_folder->path() + '/'), before);
        QVERIFY(!m_window->canUndo());
    }

private:
    // Runs `kappwerk --undo` on the listed folder, then lists it again with F5.
    QStringList undoByCommandLine()
    {
        QProcess kappwerk;
        kappwerk.start(QStringLiteral(KAPPWERK_BINARY), {"--undo", m_folder->path()});
        const bool ended = kappwerk.waitForFinished(30000);
        const qsizetype lines = QString::fromUtf8(kappwerk.readAllStandardOutput()).count('\n');
        QTest::keyClick(list(), Qt::Key_F5);
        return {ended ? QStringLiteral("status %1, %2 lines").arg(kappwerk.exitCode()).arg(lines) : "did not end"};
    }

    const StateFolder m_state; // where the journals of these runs go
};


QTEST_MAIN(TestMainRun)
#include "test_mainrun.moc"

#pragma once

// What the main window's test programs share: a window over a settings file in a temporary
// folder, its message boxes answered, and small helpers to reach and drive its controls.
#include "app/mainwindow.h"
#include "columns.h"
#include "engine/platformfs.h"
#include "folderstate.h"
#include "selection/folderpicker.h"
#include "testsupport.h"
#include "toolkit/checklist.h"
#include "toolkit/controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <memory>

class WindowFixture
{
protected:
    void setUp()
    {
        m_folder = std::make_unique<QTemporaryDir>();
        m_config = std::make_unique<QTemporaryDir>(); // outside the folder, whose every file may be listed
        start();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }
    // A window over the settings file, as the program starts (with Tahoma where the system can
    // have it), not shown yet. Every listing and run has ended when the click that started it
    // returns.
    void start()
    {
        toolkit::ensureTahoma();
        m_window.reset();
        m_settings = std::make_unique<QSettings>(settingsPath(), QSettings::IniFormat);
        m_messages.clear();
        m_window = std::make_unique<Main>(*m_settings);
        m_window->setWorkInline(true);
    }
    QString settingsPath() const { return m_config->filePath(QStringLiteral("Kappwerk/Kappwerk.conf")); }
    void tearDown()
    {
        setFolderChooser({});
        m_window.reset();
    }

    template <typename T = QWidget> T *c(const char *name) const { return m_window->findChild<T *>(name); }
    void click(const char *name) { QTest::mouseClick(c<QPushButton>(name), Qt::LeftButton); }
    toolkit::CheckList *list() const { return c<toolkit::CheckList>("FileList"); }
    void makeFile(const QString &name, const QByteArray &content)
    {
        QDir(m_folder->path()).mkpath(QFileInfo(name).path());
        QFile file(m_folder->filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    }
    // Each holding its own bytes, which folderState shows by the name alone.
    void makeFiles(const QStringList &names)
    {
        for (const QString &name : names)
            makeFile(name, bytesOf(name));
    }
    void open(const QString &path)
    {
        setFolderChooser([path](const BrowseRequest &) { return path; });
        click("Open");
    }

    // Every message box shown since the last clear, as "title, kind: text".
    QStringList messages() const
    {
        static const char *const kinds[] = {"stop",    "stop, yes or no",  "question, yes or no",
                                            "warning", "information",      "question, no by default"};
        QStringList shown;
        for (const toolkit::MessageRecord &record : m_messages.records())
            shown << record.title + ", " + kinds[record.style] + ": " + record.text;
        return shown;
    }

    // The bounds of the dark pixels (text, marks) of an area of a widget as rendered.
    static QRect ink(QWidget *widget, const QRect &area)
    {
        const QImage image = widget->grab().toImage();
        QRect bounds;
        const QRect inside = area & image.rect();
        for (int y = inside.top(); y <= inside.bottom(); ++y)
            for (int x = inside.left(); x <= inside.right(); ++x)
                if (qGray(image.pixel(x, y)) < 128)
                    bounds |= QRect(x, y, 1, 1);
        return bounds;
    }

    std::unique_ptr<QTemporaryDir> m_folder, m_config;
    std::unique_ptr<QSettings> m_settings;
    MessageRecorder m_messages;
    std::unique_ptr<Main> m_window;
};

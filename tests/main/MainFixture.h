#pragma once
// The main window under test: a real TfrmMain offscreen, with the dialogs, the
// popup menus, the shell and the error report answered by the test.

#include "platform/DataFolder.h"
#include "platform/Dialogs.h"
#include "platform/ErrorReport.h"
#include "platform/SafeFile.h"
#include "platform/Shell.h"
#include "settings/uOptions.h"
#include "ui/grid/uItemGrid.h"
#include "ui/main/uMain.h"
#include "ui/main/uSplitter.h"
#include "ui/main/uStatusBar.h"
#include "ui/main/uTreeViewAdapter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QToolButton>
#include <QTest>
#include <QTreeWidget>

#include <memory>

class TMainFixture {
public:
    QStringList Reports;  // messages that reached the application-wide report
    QList<QMenu*> Popups; // menus that would have popped up
    QList<QUrl> Opened;   // what the shell was asked to open
    struct TMessage {
        QString Text;
        QString Caption;
        TMessageIcon Icon;
    };
    QList<TMessage> Messages;
    QStringList DialogFiles; // the open dialog's answer; empty is Cancel
    int DialogShown = 0;
    std::unique_ptr<TfrmMain> Main;

    static QString Folder() {
        return sortelle_test::HomeDir() + QStringLiteral("/Documents/quendrix/Sortelle/Options");
    }
    static QString FilesFolder() { return sortelle_test::HomeDir() + QStringLiteral("/files"); }

    // Once per test program: the seams and the options window (the lists the
    // import classifies by).
    void InstallSeams() {
        SetErrorReportHandler([this](const QString& message) {
            Reports << message;
            return TErrorChoice::Continue;
        });
        TfrmMain::SetPopupHandler([this](QMenu* menu, const QPoint&) { Popups << menu; });
        SetShellHandler([this](const QUrl& url) {
            Opened << url;
            return true;
        });
        SetMessageBoxHandler([this](const QString& text, const QString& caption, TMessageIcon icon) {
            Messages << TMessage{text, caption, icon};
        });
        SetOpenFilesHandler([this](QWidget*) {
            ++DialogShown;
            return DialogFiles;
        });
        // Events are processed after every imported file, as a slow import does.
        TfrmMain::SetImportEventInterval(0);
        DataFolder = ComputeDataFolder();
        if (!frmOptions)
            frmOptions = new TfrmOptions();
    }

    // A fresh window on an empty data folder, shown.
    void Start(bool show = true) {
        Reports.clear();
        Popups.clear();
        Opened.clear();
        Messages.clear();
        DialogFiles.clear();
        DialogShown = 0;
        SetWriteFaultHook({});
        TfrmMain::SetDurationLookup({});
        QDir(sortelle_test::HomeDir() + QStringLiteral("/Documents")).removeRecursively();
        QDir(FilesFolder()).removeRecursively();
        QDir().mkpath(FilesFolder());
        Main = std::make_unique<TfrmMain>();
        frmMain = Main.get();
        if (show) {
            Main->show();
            QVERIFY(QTest::qWaitForWindowExposed(Main.get()));
        }
    }

    void Stop() {
        SetWriteFaultHook({});
        TfrmMain::SetDurationLookup({});
        frmMain = nullptr;
        Main.reset();
    }

    TfrmMain& W() { return *Main; }
    QTreeWidget& T() { return *Main->tvwCategories; }
    TItemGrid& G() { return *Main->grdTable; }
    QString Panel(int i) { return Main->StatusBar->PanelText(i); }

    QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, const QString& caption, TNodeType type) {
        TNode* node = Tree->CreateNode(Tree->GenerateUniqueNodeID(), type);
        return static_cast<QTreeWidgetItem*>(Main->TreeView().AddNode(parent, caption, node));
    }
    static std::int32_t IdOf(const QTreeWidgetItem* item) { return NodeOfItem(item)->ID(); }

    // A right-button press on the item (nullptr: on empty space below the items).
    void RightClick(QTreeWidgetItem* item) {
        QPoint pos;
        if (item) {
            T().scrollToItem(item);
            pos = T().visualItemRect(item).center();
        } else {
            pos = QPoint(5, T().viewport()->height() - 3);
            QVERIFY(!T().itemAt(pos));
        }
        QTest::mouseClick(T().viewport(), Qt::RightButton, {}, pos);
    }
    void LeftClick(QTreeWidgetItem* item) {
        T().scrollToItem(item);
        QTest::mouseClick(T().viewport(), Qt::LeftButton, {}, T().visualItemRect(item).center());
    }

    // Writes rows into the grid of the collection shown and marks it changed.
    void AddRows(const QStringList& paths) {
        for (const QString& path : paths) {
            const int row = G().AddRow(1);
            G().SetCells(colPathIndex, row, path);
            G().SetCells(colNameIndex, row, QFileInfo(path).completeBaseName());
        }
        CurrentTable->SetIsChanged(true);
    }
    QStringList Paths() {
        QStringList paths;
        for (int i = 0; i < G().RowCount(); ++i)
            paths << G().Cells(colPathIndex, i);
        return paths;
    }
    QStringList Captions(QTreeWidgetItem* parent = nullptr) {
        QStringList captions;
        QTreeWidgetItem* level = parent ? parent : T().invisibleRootItem();
        for (int i = 0; i < level->childCount(); ++i)
            captions << level->child(i)->text(0);
        return captions;
    }

    // A file of `size` bytes below the test's files folder.
    static QString MakeFile(const QString& relative, qint64 size = 0) {
        const QString path = FilesFolder() + u'/' + relative;
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || !f.resize(size))
            qFatal("cannot make %s", qPrintable(path));
        return path;
    }
    static QByteArray ReadAll(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    // The in-place editor of the tree, if one is open.
    QLineEdit* Editor() {
        for (QLineEdit* e : T().viewport()->findChildren<QLineEdit*>())
            if (e->isVisible())
                return e;
        return nullptr;
    }
    // Types a caption into the open editor and ends the edit with Return (or
    // cancels it with Escape); then lets the queued sort run.
    void FinishEdit(const QString& text, bool cancel = false) {
        QLineEdit* editor = Editor();
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, cancel ? Qt::Key_Escape : Qt::Key_Return);
        QCoreApplication::processEvents();
        QTRY_VERIFY(!Editor());
        QCoreApplication::processEvents();
    }
};

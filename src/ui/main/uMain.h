#pragma once
// The main window frmMain: the toolbar, the category tree on the left, the item
// grid of the current collection on the right and the status bar. Its creation
// handler loads the category tree; its close handler writes it back.

#include "model/uProjectClasses.h"

#include <QMainWindow>
#include <memory>

class QCloseEvent;
class QLabel;
class QProgressBar;
class QSplitter;
class QStatusBar;
class QTreeWidget;
class QTreeWidgetItem;
class TItemGrid;
class TTreeWidgetView;

// The process-wide registry and current table, created by the main window's
// creation handler and released by its close handler.
extern TTree* Tree;
extern TCurrentTable* CurrentTable;

class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    QWidget* Panel1 = nullptr;
    QTreeWidget* tvwCategories = nullptr;
    QSplitter* Splitter1 = nullptr;
    TItemGrid* grdTable = nullptr;
    QStatusBar* StatusBar = nullptr;
    QProgressBar* ProgressBar = nullptr;

    // The tree view as the catalogue classes see it.
    TTreeWidgetView& TreeView() const { return *fTreeView; }

    // The path of the categories file in the data folder.
    static QString CategoriesFileName();

    // The close handler; raises when the table or the tree cannot be written,
    // and the window then stays open. Leaves CanClose true otherwise.
    void FormCloseQuery(bool& CanClose);

protected:
    void closeEvent(QCloseEvent* event) override;

private Q_SLOTS:
    void tvwCategoriesChange(QTreeWidgetItem* Node, QTreeWidgetItem* Previous);

private:
    void FormCreate();
    void LoadCategories();

    std::unique_ptr<TTreeWidgetView> fTreeView;
    // A categories file that could not be read completely and still needs its
    // backup copy before the tree may be written over it.
    bool fCategoriesBackupOwed = false;
    bool fClosed = false;
};

extern TfrmMain* frmMain;

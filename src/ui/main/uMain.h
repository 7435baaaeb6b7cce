#pragma once
// The main window frmMain: the toolbar, the category tree on the left, the item
// grid of the current collection on the right and the status bar. Its creation
// handler loads the category tree; its close handler writes it back. The tree
// commands (context menus, new, rename, delete), "Delete Selected Rows" and
// the import of files into the collection shown live here too.

#include "model/uProjectClasses.h"
#include "platform/RegionalSettings.h"

#include <QMainWindow>
#include <QPersistentModelIndex>
#include <QStringList>
#include <functional>
#include <memory>

class QAction;
class QCloseEvent;
class QMenu;
class QProgressBar;
class TSplitter;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class TItemGrid;
class TStatusBar;
class TTreeWidgetView;
class TWindowStateStorage;

// The process-wide registry and current table, created by the main window's
// creation handler and released by its close handler.
extern TTree* Tree;
extern TCurrentTable* CurrentTable;

class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Components, under their names.
    QToolBar* ToolBar1 = nullptr;
    QToolButton* btnCategoryView = nullptr;
    QToolButton* btnOptions = nullptr;
    QToolButton* btnInformation = nullptr;
    QWidget* Panel1 = nullptr;
    QTreeWidget* tvwCategories = nullptr;
    TSplitter* Splitter1 = nullptr;
    TItemGrid* grdTable = nullptr;
    TStatusBar* StatusBar = nullptr;
    QProgressBar* ProgressBar = nullptr;

    QMenu* pumCategory = nullptr;
    QAction* mnuNewCategory2 = nullptr;
    QMenu* pumSubCategory = nullptr;
    QAction* mnuNewCategory = nullptr;
    QAction* mnuNewSubCategory = nullptr;
    QAction* mnuNewCollection = nullptr;
    QAction* mnuDelete = nullptr;
    QMenu* pumCollection = nullptr;
    QAction* mnuImportFiles = nullptr;
    QAction* mnuDeleteCollection = nullptr;
    QMenu* pumInformation = nullptr;
    QAction* mnuHelp = nullptr;
    QAction* mnuAbout = nullptr;
    QMenu* pumTable = nullptr;
    QAction* mnuDeleteSelectedRows = nullptr;

    // The tree view as the catalogue classes see it.
    TTreeWidgetView& TreeView() const { return *fTreeView; }
    // The window-state storage of frmMain.ini.
    TWindowStateStorage& StateStorage() const { return *fStorage; }

    // The path of the categories file in the data folder.
    static QString CategoriesFileName();

    // The close handler; raises when the table or the tree cannot be written,
    // and the window then stays open. Leaves CanClose true otherwise.
    void FormCloseQuery(bool& CanClose);

    // Imports the files into the collection shown, as if they had been chosen
    // in the open dialog. Refused (returns false at once) while an import runs
    // or when no collection is shown. An error that ends the import keeps the
    // rows added so far, marks them changed and is reported to the
    // application-wide error report.
    bool ImportFiles(const QStringList& Files);
    // True while an import runs; the commands that could send rows to the
    // wrong table are refused meanwhile and a close request waits for the end.
    bool Importing() const { return fImporting; }

    // The progress bar's step for an import of `count` files: 100 divided by
    // the count, rounded to the nearest integer, ties to the even one.
    static int ImportProgressStep(int count);
    // Pending events are processed after an added file when at least this
    // many milliseconds have passed since they were last processed during the
    // import (20 by default; 0 processes them after every file).
    static void SetImportEventInterval(int ms);
    static int ImportEventInterval();
    // A size in bytes as the "Size" column shows it: megabytes in fixed
    // notation with one decimal and the regional decimal separator.
    static QString FormatSizeMB(std::int64_t bytes);

    // Seam for the popup menus: the handler receives each menu that would pop
    // up and the screen position; an empty function pops the real menu
    // (non-blocking).
    using TPopupHandler = std::function<void(QMenu* menu, const QPoint& globalPos)>;
    static void SetPopupHandler(TPopupHandler handler);

    // Seam for the duration text of a video at import; the default asks the
    // player window's media player component (newMedia + durationString).
    using TDurationLookup = std::function<QString(const QString& path)>;
    static void SetDurationLookup(TDurationLookup lookup);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private Q_SLOTS:
    void tvwCategoriesChange(QTreeWidgetItem* Node, QTreeWidgetItem* Previous);
    void mnuNewCategoryClick();
    void mnuNewSubCategoryClick();
    void mnuNewCollectionClick();
    void mnuDeleteClick();
    void btnCategoryViewClick();
    void btnOptionsClick();
    void btnInformationClick();
    void mnuHelpClick();
    void mnuAboutClick();
    void StatusBarDrawPanel(int Panel, const QRect& Rect);
    void mnuDeleteSelectedRowsClick();
    void mnuImportFilesClick();
    void grdTableDblClick();
    // An in-place rename ended with a different caption: its level is sorted.
    void tvwCategoriesCaptionChanged(const QPersistentModelIndex& index);

private:
    void CreateComponents();
    void RegisterStoredProps();
    void FormCreate();
    void LoadCategories();

    void tvwCategoriesMouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    void PopupMenu(QMenu* menu, const QPoint& globalPos);
    void NewChildNode(TNodeType nodeType, const QString& caption);
    // Puts the selection back on the collection shown (a switch was refused).
    void RestoreShownSelection();
    void ShowTableStatus(QTreeWidgetItem* node);
    void SetImportGuard(bool on);
    void AddImportedRow(const TItem& item, TDateTime added);
    void ImportDroppedFiles(const QStringList& Files);

    std::unique_ptr<TTreeWidgetView> fTreeView;
    std::unique_ptr<TWindowStateStorage> fStorage;
    // A categories file that could not be read completely and still needs its
    // backup copy before the tree may be written over it.
    bool fCategoriesBackupOwed = false;
    bool fClosed = false;
    bool fImporting = false;
    bool fCloseAfterImport = false;
};

extern TfrmMain* frmMain;

// "N items", the status bar's row count.
QString ItemsText(int count);

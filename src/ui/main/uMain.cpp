#include "uMain.h"

#include "uSplitter.h"
#include "uStatusBar.h"
#include "uTreeViewAdapter.h"
#include "platform/DataFolder.h"
#include "platform/Dialogs.h"
#include "platform/ErrorReport.h"
#include "platform/Errors.h"
#include "platform/ImageList.h"
#include "platform/Introduction.h"
#include "platform/SafeFile.h"
#include "platform/Shell.h"
#include "player/uPlayer.h"
#include "settings/uOptions.h"
#include "settings/uWindowStateStorage.h"
#include "ui/about/uAbout.h"
#include "ui/grid/uItemGrid.h"


#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLinearGradient>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

TTree* Tree = nullptr;
TCurrentTable* CurrentTable = nullptr;
TfrmMain* frmMain = nullptr;

namespace {
TfrmMain::TPopupHandler& PopupHandler() {
    static TfrmMain::TPopupHandler handler;
    return handler;
}

// ToolBar1: a gradient ending in RGB 225, 225, 225 and edges on all four sides.
class TGradientToolBar : public QToolBar {
public:
    using QToolBar::QToolBar;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QLinearGradient gradient(0, 0, 0, height());
        gradient.setColorAt(0, palette().color(QPalette::Base));
        gradient.setColorAt(1, QColor(225, 225, 225));
        painter.fillRect(rect(), gradient);
        const QRect r = rect().adjusted(0, 0, -1, -1);
        painter.setPen(palette().color(QPalette::Light));
        painter.drawLine(r.topLeft(), r.topRight());
        painter.drawLine(r.topLeft(), r.bottomLeft());
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawLine(r.bottomLeft(), r.bottomRight());
        painter.drawLine(r.topRight(), r.bottomRight());
    }
};

QToolButton* NewToolButton(QToolBar* bar, const QString& name, const QString& caption, int image) {
    auto* button = new QToolButton(bar);
    button->setObjectName(name);
    button->setText(caption);
    button->setIcon(imlFormIcon(image));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setFixedSize(103, 30);
    button->setAutoRaise(true);
    bar->addWidget(button);
    return button;
}

QAction* NewMenuItem(QMenu* menu, const QString& name, const QString& caption, int image) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    if (image >= 0)
        action->setIcon(imlFormIcon(image));
    return action;
}

QMenu* NewPopupMenu(QWidget* owner, const QString& name) {
    auto* menu = new QMenu(owner);
    menu->setObjectName(name);
    return menu;
}
} // namespace

void TfrmMain::SetPopupHandler(TPopupHandler handler) { PopupHandler() = std::move(handler); }

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Quendrix Sortelle"));
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(8);
    setFont(font);
    resize(787, 446);

    CreateComponents();
    fTreeView = std::make_unique<TTreeWidgetView>(*tvwCategories);
    fStorage = std::make_unique<TWindowStateStorage>(this, QStringLiteral("frmMain"), true,
                                                     TFirstShowRule::PlatformDefault);
    RegisterStoredProps();

    // An error in the creation handler is reported while start-up goes on.
    ReportErrors([this] { FormCreate(); });
}

void TfrmMain::CreateComponents() {
    // ToolBar1 with its three buttons.
    ToolBar1 = new TGradientToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setContentsMargins(2, 0, 2, 0);
    ToolBar1->setFixedHeight(36);
    ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
    ToolBar1->toggleViewAction()->setVisible(false);
    addToolBar(Qt::TopToolBarArea, ToolBar1);

    btnCategoryView = NewToolButton(ToolBar1, QStringLiteral("btnCategoryView"),
                                    QStringLiteral("Category View"), iiCategoryView);
    btnCategoryView->setCheckable(true);
    btnCategoryView->setChecked(true);
    btnOptions = NewToolButton(ToolBar1, QStringLiteral("btnOptions"), QStringLiteral("Options"), iiOptions);
    btnInformation = NewToolButton(ToolBar1, QStringLiteral("btnInformation"),
                                   QStringLiteral("Information"), iiInformation);

    // The popup menus.
    pumCategory = NewPopupMenu(this, QStringLiteral("pumCategory"));
    mnuNewCategory2 = NewMenuItem(pumCategory, QStringLiteral("mnuNewCategory2"),
                                  QStringLiteral("New Category"), iiCategory);
    pumSubCategory = NewPopupMenu(this, QStringLiteral("pumSubCategory"));
    mnuNewCategory = NewMenuItem(pumSubCategory, QStringLiteral("mnuNewCategory"),
                                 QStringLiteral("New Category"), iiCategory);
    mnuNewSubCategory = NewMenuItem(pumSubCategory, QStringLiteral("mnuNewSubCategory"),
                                    QStringLiteral("New Sub Category"), iiSubCategory);
    mnuNewCollection = NewMenuItem(pumSubCategory, QStringLiteral("mnuNewCollection"),
                                   QStringLiteral("New collection"), iiCollection);
    pumSubCategory->addSeparator();
    mnuDelete = NewMenuItem(pumSubCategory, QStringLiteral("mnuDelete"), QStringLiteral("Delete"), iiDelete);
    pumCollection = NewPopupMenu(this, QStringLiteral("pumCollection"));
    mnuImportFiles = NewMenuItem(pumCollection, QStringLiteral("mnuImportFiles"),
                                 QStringLiteral("Import File(s)"), iiImport);
    pumCollection->addSeparator();
    mnuDeleteCollection = NewMenuItem(pumCollection, QStringLiteral("mnuDeleteCollection"),
                                      QStringLiteral("Delete"), iiDelete);
    pumInformation = NewPopupMenu(this, QStringLiteral("pumInformation"));
    mnuHelp = NewMenuItem(pumInformation, QStringLiteral("mnuHelp"), QStringLiteral("Help"), iiHelp);
    mnuAbout = NewMenuItem(pumInformation, QStringLiteral("mnuAbout"), QStringLiteral("About"), iiAbout);
    pumTable = NewPopupMenu(this, QStringLiteral("pumTable"));
    mnuDeleteSelectedRows = NewMenuItem(pumTable, QStringLiteral("mnuDeleteSelectedRows"),
                                        QStringLiteral("Delete Selected Rows"), -1);

    // The face of btnInformation pops the menu at the pointer; the arrow drops it.
    btnInformation->setPopupMode(QToolButton::MenuButtonPopup);
    btnInformation->setMenu(pumInformation);

    // Panel1 with the tree, Splitter1, grdTable; the status bar below them.
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    auto* clientLayout = new QVBoxLayout(client);
    clientLayout->setContentsMargins(0, 0, 0, 0);
    clientLayout->setSpacing(0);
    auto* body = new QWidget(client);
    auto* bodyLayout = new QHBoxLayout(body);
    bodyLayout->setContentsMargins(0, 0, 0, 0);
    bodyLayout->setSpacing(0);

    Panel1 = new QWidget(body);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedWidth(185);
    auto* panelLayout = new QVBoxLayout(Panel1);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    tvwCategories = new QTreeWidget(Panel1);
    tvwCategories->setObjectName(QStringLiteral("tvwCategories"));
    tvwCategories->setHeaderHidden(true);
    tvwCategories->setColumnCount(1);
    tvwCategories->setIndentation(19);
    tvwCategories->setIconSize(QSize(16, 16));
    tvwCategories->setSelectionMode(QAbstractItemView::SingleSelection);
    tvwCategories->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    tvwCategories->setSortingEnabled(false);
    // The tree menus come only from the right-button handler.
    tvwCategories->setContextMenuPolicy(Qt::PreventContextMenu);
    auto* delegate = new TCaptionDelegate(tvwCategories);
    tvwCategories->setItemDelegate(delegate);
    connect(delegate, &TCaptionDelegate::CaptionChanged, this, &TfrmMain::tvwCategoriesCaptionChanged,
            Qt::QueuedConnection);
    panelLayout->addWidget(tvwCategories);

    Splitter1 = new TSplitter(body);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->SetControl(Panel1);

    grdTable = new TItemGrid(body);
    grdTable->setObjectName(QStringLiteral("grdTable"));
    grdTable->SetPopupMenu(pumTable);
    // Files dropped from a file manager are imported into the collection shown.
    grdTable->setAcceptDrops(true);
    grdTable->viewport()->setAcceptDrops(true);
    grdTable->viewport()->installEventFilter(this);

    bodyLayout->addWidget(Panel1);
    bodyLayout->addWidget(Splitter1);
    bodyLayout->addWidget(grdTable, 1);

    StatusBar = new TStatusBar(client);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->AddPanel(120, Qt::AlignLeft);
    StatusBar->AddPanel(460, Qt::AlignHCenter);
    StatusBar->AddPanel(100, Qt::AlignRight, true);
    clientLayout->addWidget(body, 1);
    clientLayout->addWidget(StatusBar);
    setCentralWidget(client);

    ProgressBar = new QProgressBar();
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    ProgressBar->setTextVisible(false);
    ProgressBar->hide();

    // Splitter1 disappears with the panel it drags.
    Panel1->installEventFilter(this);
    tvwCategories->viewport()->installEventFilter(this);

    connect(tvwCategories, &QTreeWidget::currentItemChanged, this, &TfrmMain::tvwCategoriesChange);
    connect(mnuNewCategory2, &QAction::triggered, this, &TfrmMain::mnuNewCategoryClick);
    connect(mnuNewCategory, &QAction::triggered, this, &TfrmMain::mnuNewCategoryClick);
    connect(mnuNewSubCategory, &QAction::triggered, this, &TfrmMain::mnuNewSubCategoryClick);
    connect(mnuNewCollection, &QAction::triggered, this, &TfrmMain::mnuNewCollectionClick);
    connect(mnuDelete, &QAction::triggered, this, &TfrmMain::mnuDeleteClick);
    connect(mnuDeleteCollection, &QAction::triggered, this, &TfrmMain::mnuDeleteClick);
    connect(mnuImportFiles, &QAction::triggered, this, &TfrmMain::mnuImportFilesClick);
    connect(mnuHelp, &QAction::triggered, this, &TfrmMain::mnuHelpClick);
    connect(mnuAbout, &QAction::triggered, this, &TfrmMain::mnuAboutClick);
    connect(mnuDeleteSelectedRows, &QAction::triggered, this, &TfrmMain::mnuDeleteSelectedRowsClick);
    connect(btnCategoryView, &QToolButton::clicked, this, &TfrmMain::btnCategoryViewClick);
    connect(btnOptions, &QToolButton::clicked, this, &TfrmMain::btnOptionsClick);
    connect(btnInformation, &QToolButton::clicked, this, &TfrmMain::btnInformationClick);
    connect(StatusBar, &TStatusBar::DrawPanel, this, &TfrmMain::StatusBarDrawPanel);
    connect(grdTable, &TItemGrid::DblClick, this, &TfrmMain::grdTableDblClick);
}

void TfrmMain::RegisterStoredProps() {
    // In the order of applying and copying.
    auto column = [this](const QString& name) -> TGridColumn& {
        TGridColumn* col = grdTable->ColumnByName(name);
        if (!col)
            throw Exception(QStringLiteral("Column \"%1\" not found.").arg(name));
        return *col;
    };
    auto width = [&](const QString& name) {
        return IntegerProp(name + QStringLiteral(".Width"), [=] { return column(name).Width(); },
                           [=](int v) { column(name).SetWidth(v); });
    };
    auto sorted = [&](const QString& name) {
        return BooleanProp(name + QStringLiteral(".Sorted"), [=] { return column(name).Sorted(); },
                           [=](bool v) { column(name).SetSorted(v); });
    };
    const QString colAdded = QStringLiteral("colAdded");
    const QString colDuration = QStringLiteral("colDuration");
    const QString colExtension = QStringLiteral("colExtension");
    const QString colName = QStringLiteral("colName");
    const QString colPath = QStringLiteral("colPath");
    const QString colProgress = QStringLiteral("colProgress");
    const QString colSize = QStringLiteral("colSize");
    const QString colType = QStringLiteral("colType");

    QList<TStoredProp> props;
    props << BooleanProp(QStringLiteral("btnCategoryView.Down"), [this] { return btnCategoryView->isChecked(); },
                         [this](bool v) { btnCategoryView->setChecked(v); });
    props << BooleanProp(QStringLiteral("Panel1.Visible"), [this] { return !Panel1->isHidden(); },
                         [this](bool v) { Panel1->setVisible(v); });
    props << IntegerProp(QStringLiteral("Panel1.Width"), [this] { return Panel1->maximumWidth(); },
                         [this](int v) { Panel1->setFixedWidth(qBound(0, v, QWIDGETSIZE_MAX)); });
    props << width(colAdded) << width(colDuration) << width(colExtension) << width(colName) << width(colPath);
    props << EnumerationProp(
        QStringLiteral("colProgress.SlideCaptionLocation"), {QStringLiteral("clLeft"), QStringLiteral("clTop")},
        [=] { return int(column(colProgress).SlideCaptionLocation()); },
        [=](int v) { column(colProgress).SetSlideCaptionLocation(TSlideCaptionLocation(v)); });
    props << width(colSize);
    props << EnumerationProp(
        QStringLiteral("colType.Alignment"),
        {QStringLiteral("taLeftJustify"), QStringLiteral("taRightJustify"), QStringLiteral("taCenter")},
        [=] { return int(column(colType).Alignment()); },
        [=](int v) { column(colType).SetAlignment(TAlignment(v)); });
    props << sorted(colAdded) << sorted(colDuration) << sorted(colExtension) << sorted(colName);
    props << IntegerProp(QStringLiteral("colProgress.Position"), [=] { return column(colProgress).Position(); },
                         [=](int v) { column(colProgress).SetPosition(v); });
    props << sorted(colSize);
    props << StringProp(QStringLiteral("colType.StyleClass"), [=] { return column(colType).StyleClass(); },
                        [=](const QString& v) { column(colType).SetStyleClass(v); });
    fStorage->SetStoredProps(props);
}

TfrmMain::~TfrmMain() {
    // The window's state is copied if no accepted close copied it, and the
    // storage writes frmMain.ini while the components still exist.
    if (fStorage) {
        if (!fStorage->Saved())
            ReportErrors([this] { fStorage->SaveState(); });
        fStorage.reset();
    }
    // Normally done by the close handler; when the loop ended another way (the
    // error report's Close), the table and the tree are still written, and a
    // failure is reported once more rather than lost silently.
    if (!fClosed) {
        bool canClose = true;
        ReportErrors([&] { FormCloseQuery(canClose); });
    }
    delete CurrentTable;
    CurrentTable = nullptr;
    tvwCategories->clear();
    delete Tree;
    Tree = nullptr;
}

QString TfrmMain::CategoriesFileName() { return DataFolder + QStringLiteral("/categories.xml"); }

void TfrmMain::FormCreate() {
    DataFolder = ComputeDataFolder();
    // A state file that cannot be read is reported; start-up goes on.
    ReportErrors([this] { fStorage->SetFileName(DataFolder + QStringLiteral("/frmMain.ini")); });
    Tree = new TTree();
    ProgressBar->setParent(StatusBar);
    ProgressBar->hide();
    CurrentTable = new TCurrentTable(*grdTable);
    if (QFileInfo::exists(CategoriesFileName()))
        LoadCategories();
}

void TfrmMain::LoadCategories() {
    try {
        Tree->Load(*fTreeView, CategoriesFileName());
    } catch (const std::exception& e) {
        // The file could not be read completely: keep it before the partial
        // tree can ever be written over it, and say where it was kept.
        QString message = ErrorMessage(e);
        try {
            const QString backup = KeepBackupCopy(CategoriesFileName());
            message += QStringLiteral("\n\nThe categories file was kept as \"%1\".")
                           .arg(QDir::toNativeSeparators(backup));
        } catch (const std::exception& copyError) {
            fCategoriesBackupOwed = true;
            message += QStringLiteral("\n\nThe categories file could not be kept as a backup (%1); "
                                      "it will not be written over until it can be.")
                           .arg(ErrorMessage(copyError));
        }
        throw Exception(message);
    }
}

void TfrmMain::FormCloseQuery(bool& CanClose) {
    CanClose = true;
    if (fClosed)
        return;
    // The entry playing keeps the position reached: the player writes it into
    // its row before the table is saved.
    if (frmPlayer)
        frmPlayer->SavePositionIfPlaying();
    // 1. The shown table is written first. Released only once everything is
    // written, so a failed close can be retried and nothing is released twice.
    if (CurrentTable)
        CurrentTable->SaveIfChanged();
    // 2. The tree, or no file when the tree is empty.
    const QString fileName = CategoriesFileName();
    if (Tree) {
        if (fCategoriesBackupOwed) {
            KeepBackupCopy(fileName);
            fCategoriesBackupOwed = false;
        }
        if (tvwCategories->topLevelItemCount() > 0)
            Tree->Save(*fTreeView, fileName);
        else if (QFileInfo::exists(fileName))
            QFile::remove(fileName);
    }
    // 3. Release the table and the registry.
    delete CurrentTable;
    CurrentTable = nullptr;
    {
        // The items point at the records: no selection change may run on them.
        const QSignalBlocker blocker(tvwCategories);
        tvwCategories->clear();
    }
    delete Tree;
    Tree = nullptr;
    fClosed = true;
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    if (fImporting) {
        // The rows of the running import belong to the table shown: the close
        // waits until the import has ended, then runs.
        fCloseAfterImport = true;
        event->ignore();
        return;
    }
    bool canClose = true;
    const bool ok = ReportErrors([&] { FormCloseQuery(canClose); });
    if (!ok || !canClose) {
        event->ignore();
        return;
    }
    ReportErrors([this] { fStorage->SaveState(); });
    event->accept();
    QCoreApplication::quit();
}

void TfrmMain::showEvent(QShowEvent* event) {
    // The stored state is applied at the first showing, before the window is visible.
    if (fStorage && !fStorage->Restored())
        ReportErrors([this] { fStorage->RestoreState(); });
    QMainWindow::showEvent(event);
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tvwCategories->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            const QPoint pos = mouse->position().toPoint();
            ReportErrors([&] { tvwCategoriesMouseDown(mouse->button(), mouse->modifiers(), pos.x(), pos.y()); });
            return true;
        }
        return false;
    }
    if (watched == Panel1 && (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent)) {
        Splitter1->setVisible(!Panel1->isHidden());
        return false;
    }
    if (watched == grdTable->viewport()) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            const bool acceptable = !fImporting && CurrentTable && CurrentTable->ID() != -1 &&
                                    drag->mimeData() && drag->mimeData()->hasUrls();
            bool anyLocal = false;
            if (acceptable)
                for (const QUrl& url : drag->mimeData()->urls())
                    anyLocal = anyLocal || url.isLocalFile();
            if (acceptable && anyLocal)
                drag->acceptProposedAction();
            else
                drag->ignore();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            QStringList files;
            if (drop->mimeData())
                for (const QUrl& url : drop->mimeData()->urls())
                    if (url.isLocalFile())
                        files << url.toLocalFile();
            if (files.isEmpty() || fImporting || !CurrentTable || CurrentTable->ID() == -1) {
                drop->ignore();
                return true;
            }
            drop->acceptProposedAction();
            // The import runs once the drop has been answered, so the file
            // manager is not kept waiting while the files are examined.
            QMetaObject::invokeMethod(
                this, [this, files] { ImportDroppedFiles(files); }, Qt::QueuedConnection);
            return true;
        }
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::PopupMenu(QMenu* menu, const QPoint& globalPos) {
    if (PopupHandler()) {
        PopupHandler()(menu, globalPos);
        return;
    }
    menu->popup(globalPos);
}

// ---------------------------------------------------------------------------
// The category tree

void TfrmMain::tvwCategoriesMouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers, int X, int Y) {
    if (Button != Qt::RightButton)
        return;
    QTreeWidgetItem* item = tvwCategories->itemAt(X, Y);
    if (!item) {
        // Empty space: the selection stays where it is.
        PopupMenu(pumCategory, QCursor::pos());
        return;
    }
    // Selecting first makes a collection the current table before its menu shows.
    tvwCategories->setCurrentItem(item);
    if (tvwCategories->currentItem() != item)
        return; // the switch was refused: no menu for a collection that is not shown
    const TNode* node = NodeOfItem(item);
    if (!node)
        return;
    switch (node->NodeType()) {
    case ntCategory:
    case ntSubCategory:
        PopupMenu(pumSubCategory, QCursor::pos());
        break;
    case ntCollection:
        PopupMenu(pumCollection, QCursor::pos());
        break;
    default:
        break;
    }
}

void TfrmMain::tvwCategoriesChange(QTreeWidgetItem* Node, QTreeWidgetItem*) {
    const TNode* node = NodeOfItem(Node);
    if (!node || node->NodeType() != ntCollection || !CurrentTable)
        return;
    if (fImporting && node->ID() != CurrentTable->ID()) {
        // The import's rows belong to the collection shown.
        RestoreShownSelection();
        return;
    }
    const bool ok = ReportErrors([&] { CurrentTable->SetID(node->ID()); });
    if (!ok) {
        // The shown table could not be written: it stays shown, and so does
        // its selection in the tree.
        RestoreShownSelection();
        return;
    }
    ShowTableStatus(Node);
}

void TfrmMain::ShowTableStatus(QTreeWidgetItem* node) {
    StatusBar->SetPanelText(0, ItemsText(grdTable->RowCount()));
    QString caption = node->text(0);
    QString hint;
    if (CurrentTable->LastLoadIncomplete()) {
        if (CurrentTable->LastBackupPath().isEmpty())
            hint = QStringLiteral("The table could be read only in part; its file will not be "
                                  "written over until a backup copy of it can be made.");
        else
            hint = QStringLiteral("The table could be read only in part; the original was kept as \"%1\".")
                       .arg(QDir::toNativeSeparators(CurrentTable->LastBackupPath()));
        caption += QStringLiteral(": ") + hint;
    }
    StatusBar->SetPanelText(1, caption);
    StatusBar->setToolTip(hint);
}

void TfrmMain::RestoreShownSelection() {
    auto apply = [this] {
        if (!CurrentTable)
            return;
        QTreeWidgetItem* shown = FindItemOfNode(*tvwCategories, CurrentTable->ID());
        const QSignalBlocker blocker(tvwCategories);
        if (shown) {
            tvwCategories->setCurrentItem(shown);
            tvwCategories->scrollToItem(shown);
        } else {
            tvwCategories->setCurrentItem(nullptr);
            tvwCategories->clearSelection();
        }
    };
    apply();
    // A mouse press selects its row after the selection change has run: put
    // the selection back once more when that has happened.
    QMetaObject::invokeMethod(
        this,
        [this, apply] {
            if (!CurrentTable)
                return;
            const TNode* node = NodeOfItem(tvwCategories->currentItem());
            const QList<QTreeWidgetItem*> selected = tvwCategories->selectedItems();
            const bool stray = (node && node->NodeType() == ntCollection && node->ID() != CurrentTable->ID()) ||
                               (selected.size() == 1 && selected.first() != tvwCategories->currentItem());
            if (stray)
                apply();
        },
        Qt::QueuedConnection);
}

void TfrmMain::tvwCategoriesCaptionChanged(const QPersistentModelIndex& index) {
    if (!index.isValid())
        return;
    QTreeWidgetItem* item = tvwCategories->itemFromIndex(index);
    if (!item)
        return;
    // Only the renamed node's level is sorted; the levels below keep their order.
    SortLevelByCaption(*tvwCategories, item->parent());
}

void TfrmMain::mnuNewCategoryClick() {
    ReportErrors([this] {
        if (fImporting || !Tree)
            return;
        const std::int32_t id = Tree->GenerateUniqueNodeID();
        TNode* record = Tree->CreateNode(id, ntCategory);
        // Always at the top level, also from a sub-category's menu; appended
        // last, not sorted in.
        QTreeWidgetItem* item = NewNodeItem(QStringLiteral("Category"), record);
        tvwCategories->addTopLevelItem(item);
        tvwCategories->setCurrentItem(item);
        tvwCategories->scrollToItem(item);
        tvwCategories->editItem(item, 0);
    });
}

void TfrmMain::NewChildNode(TNodeType nodeType, const QString& caption) {
    if (fImporting || !Tree || !CurrentTable)
        return;
    QTreeWidgetItem* parent = tvwCategories->currentItem();
    const TNode* parentNode = NodeOfItem(parent);
    if (!parent || !parentNode || parentNode->NodeType() == ntCollection)
        return;
    const std::int32_t id = Tree->GenerateUniqueNodeID();
    TNode* record = Tree->CreateNode(id, nodeType);
    QTreeWidgetItem* item = NewNodeItem(caption, record);
    parent->addChild(item);
    // For a collection the selection change makes it the current table at once.
    tvwCategories->setCurrentItem(item);
    if (nodeType == ntCollection && tvwCategories->currentItem() == item)
        CurrentTable->SetID(id); // already current: changes nothing
    parent->setExpanded(true);
    tvwCategories->scrollToItem(item);
    tvwCategories->editItem(item, 0);
}

void TfrmMain::mnuNewSubCategoryClick() {
    ReportErrors([this] { NewChildNode(ntSubCategory, QStringLiteral("Sub category")); });
}

void TfrmMain::mnuNewCollectionClick() {
    ReportErrors([this] { NewChildNode(ntCollection, QStringLiteral("Collection")); });
}

void TfrmMain::mnuDeleteClick() {
    ReportErrors([this] {
        if (fImporting || !Tree || !CurrentTable)
            return;
        QTreeWidgetItem* item = tvwCategories->currentItem();
        const TNode* node = NodeOfItem(item);
        if (!item || !node)
            return;
        if (item->childCount() > 0) {
            ShowMessageBox(this,
                           QStringLiteral("This folder is not empty.\r\n\r\n"
                                          "Please delete its contents first, then try again."),
                           QStringLiteral("Error"), TMessageIcon::Error);
            return;
        }
        const std::int32_t id = node->ID();
        if (node->NodeType() == ntCollection) {
            // The table goes first: when the shown table cannot be written the
            // unload raises, and the node, its record and its file stay as they are.
            CurrentTable->DeleteTable(id);
            StatusBar->SetPanelText(0, ItemsText(grdTable->RowCount()));
            StatusBar->SetPanelText(1, QString());
            StatusBar->setToolTip(QString());
        }
        Tree->DeleteNode(id);
        SetNodeOfItem(item, nullptr);
        // Removing the item may move the selection; that change runs as usual.
        delete item;
    });
}

// ---------------------------------------------------------------------------
// Toolbar, Information menu, status bar

void TfrmMain::btnCategoryViewClick() { Panel1->setVisible(btnCategoryView->isChecked()); }

void TfrmMain::btnOptionsClick() {
    if (frmOptions)
        frmOptions->exec();
}

void TfrmMain::btnInformationClick() { PopupMenu(pumInformation, QCursor::pos()); }

void TfrmMain::mnuHelpClick() {
    // The shell's answer is not examined: a page that cannot be opened says nothing.
    ShellOpenUrl(this, IntroductionPageUrl());
}

void TfrmMain::mnuAboutClick() {
    if (frmAbout)
        frmAbout->exec();
}

void TfrmMain::StatusBarDrawPanel(int Panel, const QRect& Rect) {
    if (Panel == 2 && ProgressBar->parentWidget() == StatusBar && ProgressBar->geometry() != Rect)
        ProgressBar->setGeometry(Rect);
}

// ---------------------------------------------------------------------------
// The grid's popup command and double-click

void TfrmMain::mnuDeleteSelectedRowsClick() {
    ReportErrors([this] {
        if (fImporting)
            return;
        {
            // One repaint for all the rows, however many are selected.
            struct TUpdate {
                TItemGrid* Grid;
                ~TUpdate() { Grid->EndUpdate(); }
            } update{grdTable};
            grdTable->BeginUpdate();
            for (int i = grdTable->RowCount() - 1; i >= 0; --i)
                if (grdTable->RowSelected(i))
                    grdTable->DeleteRow(i);
        }
        // Marked changed even when nothing was deleted; with no collection
        // shown there is no table to mark.
        if (CurrentTable && CurrentTable->ID() != -1)
            CurrentTable->SetIsChanged(true);
        StatusBar->SetPanelText(0, ItemsText(grdTable->RowCount()));
    });
}

void TfrmMain::grdTableDblClick() {
    ReportErrors([this] {
        // A started playlist writes positions into the rows: the table changes.
        if (frmPlayer && frmPlayer->OpenEntry(*grdTable) && CurrentTable)
            CurrentTable->SetIsChanged(true);
    });
}

#include "uMain.h"

#include "uTreeViewAdapter.h"
#include "platform/DataFolder.h"
#include "platform/ErrorReport.h"
#include "platform/Errors.h"
#include "platform/SafeFile.h"
#include "ui/grid/uItemGrid.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTreeWidget>
#include <QVBoxLayout>

TTree* Tree = nullptr;
TCurrentTable* CurrentTable = nullptr;
TfrmMain* frmMain = nullptr;

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Quendrix Sortelle"));
    resize(787, 446);

    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Panel1 = new QWidget(Splitter1);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    auto* panelLayout = new QVBoxLayout(Panel1);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    tvwCategories = new QTreeWidget(Panel1);
    tvwCategories->setObjectName(QStringLiteral("tvwCategories"));
    tvwCategories->setHeaderHidden(true);
    tvwCategories->setIndentation(19);
    tvwCategories->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    panelLayout->addWidget(tvwCategories);
    grdTable = new TItemGrid(Splitter1);
    grdTable->setObjectName(QStringLiteral("grdTable"));
    Splitter1->addWidget(Panel1);
    Splitter1->addWidget(grdTable);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({185, 787 - 185});
    setCentralWidget(Splitter1);

    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    setStatusBar(StatusBar);
    ProgressBar = new QProgressBar();
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setRange(0, 100);
    ProgressBar->setTextVisible(false);
    ProgressBar->hide();

    fTreeView = std::make_unique<TTreeWidgetView>(*tvwCategories);
    connect(tvwCategories, &QTreeWidget::currentItemChanged, this, &TfrmMain::tvwCategoriesChange);

    // An error in the creation handler is reported while start-up goes on.
    ReportErrors([this] { FormCreate(); });
}

TfrmMain::~TfrmMain() {
    // Normally released by the close handler; when the loop ended another way
    // (the error report's Close), the shown table is still saved.
    delete CurrentTable;
    CurrentTable = nullptr;
    tvwCategories->clear();
    delete Tree;
    Tree = nullptr;
}

QString TfrmMain::CategoriesFileName() { return DataFolder + QStringLiteral("/categories.xml"); }

void TfrmMain::FormCreate() {
    DataFolder = ComputeDataFolder();
    Tree = new TTree();
    ProgressBar->setParent(StatusBar);
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
    tvwCategories->clear();
    delete Tree;
    Tree = nullptr;
    fClosed = true;
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    bool canClose = true;
    const bool ok = ReportErrors([&] { FormCloseQuery(canClose); });
    if (!ok || !canClose) {
        event->ignore();
        return;
    }
    event->accept();
    QCoreApplication::quit();
}

void TfrmMain::tvwCategoriesChange(QTreeWidgetItem* Node, QTreeWidgetItem* Previous) {
    TNode* node = NodeOfItem(Node);
    if (!node || node->NodeType() != ntCollection || !CurrentTable)
        return;
    const bool ok = ReportErrors([&] { CurrentTable->SetID(node->ID()); });
    if (!ok && Previous) {
        // The switch was abandoned: the selection goes back to the collection shown.
        QSignalBlocker block(tvwCategories);
        tvwCategories->setCurrentItem(Previous);
    }
}

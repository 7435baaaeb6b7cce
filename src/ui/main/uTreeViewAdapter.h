#pragma once
// tvwCategories as the categories file sees it: each item's caption is the
// node's name and its data holds the node's record (borrowed, never freed).
// Also the tree helpers of the main window: finding a node's item and sorting
// one level of siblings by caption.

#include "model/uProjectClasses.h"

#include <QPersistentModelIndex>
#include <QStyledItemDelegate>
#include <QTreeWidget>

// The node record of a tree item, or nullptr.
TNode* NodeOfItem(const QTreeWidgetItem* item);
// Stores the record and sets the item's icon to its NodeType.
void SetNodeOfItem(QTreeWidgetItem* item, TNode* node);

// A new tree item with the caption and the record, editable in place.
QTreeWidgetItem* NewNodeItem(const QString& caption, TNode* node);

// The item whose record has this ID, or nullptr.
QTreeWidgetItem* FindItemOfNode(const QTreeWidget& tree, std::int32_t id);

// Sorts the children of `parent` (the top-level items when nullptr) by
// caption with the locale-aware, case-sensitive comparison. Only that level
// moves: the items below keep their order. The current item, the selection,
// every item's expansion and the scroll position are kept, and the tree emits
// no selection signals while it sorts.
void SortLevelByCaption(QTreeWidget& tree, QTreeWidgetItem* parent);

class TTreeWidgetView final : public ITreeView {
public:
    explicit TTreeWidgetView(QTreeWidget& tree) : fTree(tree) {}
    void ClearNodes() override;
    Handle AddNode(Handle parent, const QString& caption, TNode* node) override;
    int ChildCount(Handle parent) const override;
    Handle Child(Handle parent, int index) const override;
    QString Caption(Handle node) const override;
    TNode* NodeOf(Handle node) const override;

private:
    QTreeWidget& fTree;
};

// The tree's in-place editor: reports a rename that ended with a caption
// other than the one the node had (a cancelled edit or the same text is no
// rename). The signal is meant to be connected queued, so that the level is
// sorted only once the editor has closed.
class TCaptionDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

Q_SIGNALS:
    void CaptionChanged(const QPersistentModelIndex& index);
};

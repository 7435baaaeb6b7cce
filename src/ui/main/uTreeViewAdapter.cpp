#include "uTreeViewAdapter.h"

#include "platform/ImageList.h"

#include <QScrollBar>
#include <QSignalBlocker>
#include <QTreeWidgetItemIterator>

#include <algorithm>

namespace {
constexpr int NodeRole = Qt::UserRole + 1;
QTreeWidgetItem* ItemOf(ITreeView::Handle h) { return static_cast<QTreeWidgetItem*>(h); }

void CollectExpanded(QTreeWidgetItem* item, QList<QTreeWidgetItem*>& expanded) {
    // Iterative: a deep tree cannot exhaust the stack.
    QList<QTreeWidgetItem*> pending{item};
    while (!pending.isEmpty()) {
        QTreeWidgetItem* current = pending.takeLast();
        if (current->childCount() == 0)
            continue;
        if (current->isExpanded())
            expanded.append(current);
        for (int i = 0; i < current->childCount(); ++i)
            pending.append(current->child(i));
    }
}

bool CaptionLess(const QTreeWidgetItem* a, const QTreeWidgetItem* b) {
    return QString::localeAwareCompare(a->text(0), b->text(0)) < 0;
}
} // namespace

TNode* NodeOfItem(const QTreeWidgetItem* item) {
    if (!item)
        return nullptr;
    return reinterpret_cast<TNode*>(item->data(0, NodeRole).value<quintptr>());
}

void SetNodeOfItem(QTreeWidgetItem* item, TNode* node) {
    item->setData(0, NodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(node)));
    // The icon is the record's NodeType, selected or not.
    if (node)
        item->setIcon(0, imlFormIcon(node->NodeType()));
}

QTreeWidgetItem* NewNodeItem(const QString& caption, TNode* node) {
    auto* item = new QTreeWidgetItem();
    item->setText(0, caption);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    SetNodeOfItem(item, node);
    return item;
}

QTreeWidgetItem* FindItemOfNode(const QTreeWidget& tree, std::int32_t id) {
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(&tree)); *it; ++it) {
        const TNode* node = NodeOfItem(*it);
        if (node && node->ID() == id)
            return *it;
    }
    return nullptr;
}

void SortLevelByCaption(QTreeWidget& tree, QTreeWidgetItem* parent) {
    QTreeWidgetItem* level = parent ? parent : tree.invisibleRootItem();
    if (level->childCount() < 2)
        return;
    QList<QTreeWidgetItem*> children;
    children.reserve(level->childCount());
    for (int i = 0; i < level->childCount(); ++i)
        children.append(level->child(i));
    if (std::is_sorted(children.cbegin(), children.cend(), CaptionLess))
        return;

    // Taking the items out loses what the view knows about them: remember it.
    const QSignalBlocker blocker(&tree);
    QTreeWidgetItem* current = tree.currentItem();
    const QList<QTreeWidgetItem*> selected = tree.selectedItems();
    QList<QTreeWidgetItem*> expanded;
    for (QTreeWidgetItem* child : children)
        CollectExpanded(child, expanded);
    const int scroll = tree.verticalScrollBar()->value();

    children = level->takeChildren();
    std::stable_sort(children.begin(), children.end(), CaptionLess);
    level->addChildren(children);

    for (QTreeWidgetItem* item : expanded)
        item->setExpanded(true);
    if (current)
        tree.setCurrentItem(current, 0, QItemSelectionModel::NoUpdate);
    tree.clearSelection();
    for (QTreeWidgetItem* item : selected)
        item->setSelected(true);
    tree.verticalScrollBar()->setValue(scroll);
}

void TTreeWidgetView::ClearNodes() { fTree.clear(); }

ITreeView::Handle TTreeWidgetView::AddNode(Handle parent, const QString& caption, TNode* node) {
    QTreeWidgetItem* item = NewNodeItem(caption, node);
    if (parent)
        ItemOf(parent)->addChild(item);
    else
        fTree.addTopLevelItem(item);
    return item;
}

int TTreeWidgetView::ChildCount(Handle parent) const {
    return parent ? ItemOf(parent)->childCount() : fTree.topLevelItemCount();
}

ITreeView::Handle TTreeWidgetView::Child(Handle parent, int index) const {
    return parent ? ItemOf(parent)->child(index) : fTree.topLevelItem(index);
}

QString TTreeWidgetView::Caption(Handle node) const { return ItemOf(node)->text(0); }

TNode* TTreeWidgetView::NodeOf(Handle node) const { return NodeOfItem(ItemOf(node)); }

void TCaptionDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                    const QModelIndex& index) const {
    const QString before = index.data(Qt::DisplayRole).toString();
    QStyledItemDelegate::setModelData(editor, model, index);
    if (index.data(Qt::DisplayRole).toString() != before)
        Q_EMIT const_cast<TCaptionDelegate*>(this)->CaptionChanged(QPersistentModelIndex(index));
}

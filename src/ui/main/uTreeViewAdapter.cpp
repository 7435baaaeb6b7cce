#include "uTreeViewAdapter.h"

#include "platform/ImageList.h"

namespace {
constexpr int NodeRole = Qt::UserRole + 1;
QTreeWidgetItem* ItemOf(ITreeView::Handle h) { return static_cast<QTreeWidgetItem*>(h); }
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

void TTreeWidgetView::ClearNodes() { fTree.clear(); }

ITreeView::Handle TTreeWidgetView::AddNode(Handle parent, const QString& caption, TNode* node) {
    auto* item = new QTreeWidgetItem();
    item->setText(0, caption);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    SetNodeOfItem(item, node);
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

#pragma once
// tvwCategories as the categories file sees it: each item's caption is the
// node's name and its data holds the node's record (borrowed, never freed).

#include "model/uProjectClasses.h"

#include <QTreeWidget>

// The node record of a tree item, or nullptr.
TNode* NodeOfItem(const QTreeWidgetItem* item);
void SetNodeOfItem(QTreeWidgetItem* item, TNode* node);

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

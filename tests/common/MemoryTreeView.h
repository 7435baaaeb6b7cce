#pragma once
// A tree view in memory for the catalogue tests: captions, records and shape.

#include "model/uProjectClasses.h"

#include <QStringList>
#include <memory>
#include <vector>

class TMemoryTreeView final : public ITreeView {
public:
    struct Item {
        QString caption;
        TNode* node = nullptr;
        Item* parent = nullptr;
        std::vector<std::unique_ptr<Item>> children;
    };

    void ClearNodes() override { fRoot.children.clear(); }
    Handle AddNode(Handle parent, const QString& caption, TNode* node) override {
        Item* p = parent ? static_cast<Item*>(parent) : &fRoot;
        auto item = std::make_unique<Item>();
        item->caption = caption;
        item->node = node;
        item->parent = p;
        p->children.push_back(std::move(item));
        return p->children.back().get();
    }
    int ChildCount(Handle parent) const override {
        return int((parent ? static_cast<const Item*>(parent) : &fRoot)->children.size());
    }
    Handle Child(Handle parent, int index) const override {
        const Item* p = parent ? static_cast<const Item*>(parent) : &fRoot;
        return p->children.at(size_t(index)).get();
    }
    QString Caption(Handle node) const override { return static_cast<const Item*>(node)->caption; }
    TNode* NodeOf(Handle node) const override { return static_cast<const Item*>(node)->node; }

    // The tree as text: one line per node, "  " per level, "caption|ID|type".
    QStringList Dump() const {
        QStringList lines;
        DumpItem(&fRoot, -1, lines);
        return lines;
    }
    int TotalCount() const { return Dump().size(); }

private:
    static void DumpItem(const Item* item, int depth, QStringList& lines) {
        if (depth >= 0)
            lines << QString(depth * 2, u' ') + item->caption + u'|' +
                         QString::number(item->node ? item->node->ID() : -999) + u'|' +
                         QString::number(item->node ? int(item->node->NodeType()) : -1);
        for (const auto& child : item->children)
            DumpItem(child.get(), depth + 1, lines);
    }
    Item fRoot;
};

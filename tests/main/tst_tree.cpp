// The category tree of the main window: context menus, switching the shown
// collection, new nodes, renaming with the one-level sort, deleting nodes, and
// "Delete Selected Rows".
#include "common/TestMain.h"

#include "MainFixture.h"

#include <QScrollBar>

#include "platform/Introduction.h"

class TestTree : public QObject {
    Q_OBJECT
    TMainFixture f;

    // Two collections under one category; the second has a table file of two rows.
    struct TTwoCollections {
        QTreeWidgetItem* Cat;
        QTreeWidgetItem* A;
        QTreeWidgetItem* B;
    };
    TTwoCollections MakeTwoCollections() {
        TTwoCollections t{};
        t.Cat = f.AddNode(nullptr, QStringLiteral("Music"), ntCategory);
        t.A = f.AddNode(t.Cat, QStringLiteral("A"), ntCollection);
        t.B = f.AddNode(t.Cat, QStringLiteral("B"), ntCollection);
        t.Cat->setExpanded(true);
        f.T().setCurrentItem(t.B);
        f.AddRows({QStringLiteral("/m/b1.mp3"), QStringLiteral("/m/b2.mp3")});
        f.T().setCurrentItem(t.A); // writes B's table
        return t;
    }

private Q_SLOTS:
    void initTestCase() { f.InstallSeams(); }
    void init() { f.Start(); }
    void cleanup() {
        f.Stop();
        QVERIFY2(f.Reports.isEmpty(), qPrintable(f.Reports.join(u'\n')));
    }

    void rightClickOnCollectionMakesItCurrentBeforeItsMenu() {
        const TTwoCollections t = MakeTwoCollections();
        QCOMPARE(CurrentTable->ID(), f.IdOf(t.A));
        // What the collection's menu sees when it pops up.
        std::int32_t idAtPopup = -2;
        QString panelsAtPopup;
        TfrmMain::SetPopupHandler([&](QMenu* menu, const QPoint&) {
            f.Popups << menu;
            idAtPopup = CurrentTable->ID();
            panelsAtPopup = f.Panel(0) + u'|' + f.Panel(1);
        });
        f.RightClick(t.B);
        TfrmMain::SetPopupHandler([this](QMenu* menu, const QPoint&) { f.Popups << menu; });
        QCOMPARE(f.Popups, (QList<QMenu*>{f.W().pumCollection}));
        QCOMPARE(idAtPopup, f.IdOf(t.B));
        QCOMPARE(panelsAtPopup, QStringLiteral("2 items|B"));
        QCOMPARE(f.Paths(), (QStringList{QStringLiteral("/m/b1.mp3"), QStringLiteral("/m/b2.mp3")}));
        QCOMPARE(f.T().currentItem(), t.B);
    }

    void rightClickMenusByNodeType() {
        QTreeWidgetItem* cat = f.AddNode(nullptr, QStringLiteral("Cat"), ntCategory);
        QTreeWidgetItem* sub = f.AddNode(cat, QStringLiteral("Sub"), ntSubCategory);
        cat->setExpanded(true);
        f.RightClick(cat);
        f.RightClick(sub);
        QCOMPARE(f.Popups, (QList<QMenu*>{f.W().pumSubCategory, f.W().pumSubCategory}));
        QCOMPARE(f.T().currentItem(), sub);

        // Empty space: the category menu, and the selection stays where it was.
        f.Popups.clear();
        f.RightClick(nullptr);
        QCOMPARE(f.Popups, (QList<QMenu*>{f.W().pumCategory}));
        QCOMPARE(f.T().currentItem(), sub);
        QCOMPARE(f.T().selectedItems(), (QList<QTreeWidgetItem*>{sub}));

        // The left button is the tree view's own: it selects and pops nothing.
        f.Popups.clear();
        f.LeftClick(cat);
        QVERIFY(f.Popups.isEmpty());
        QCOMPARE(f.T().currentItem(), cat);
    }

    void informationButtonPopsItsMenu() {
        QTest::mouseClick(f.W().btnInformation, Qt::LeftButton, {}, QPoint(10, 15));
        QCOMPARE(f.Popups, (QList<QMenu*>{f.W().pumInformation}));
        QCOMPARE(f.W().btnInformation->menu(), f.W().pumInformation);
    }

    void selectingACategoryKeepsTheCollectionShown() {
        const TTwoCollections t = MakeTwoCollections();
        f.T().setCurrentItem(t.B);
        QCOMPARE(f.Panel(1), QStringLiteral("B"));
        f.LeftClick(t.Cat);
        QCOMPARE(CurrentTable->ID(), f.IdOf(t.B));
        QCOMPARE(f.G().RowCount(), 2);
        QCOMPARE(f.Panel(0), QStringLiteral("2 items"));
        QCOMPARE(f.Panel(1), QStringLiteral("B"));
    }

    void failedSwitchSelectsTheCollectionStillShown() {
        // A shown and changed, then a category selected: the previous item is
        // the category, but the collection still shown is A.
        const TTwoCollections t = MakeTwoCollections();
        f.AddRows({QStringLiteral("/m/a1.mp3")});
        f.LeftClick(t.Cat);
        SetWriteFaultHook([](const QString&, qint64) { return QStringLiteral("disk full"); });
        f.LeftClick(t.B);
        QCoreApplication::processEvents();
        SetWriteFaultHook({});
        QCOMPARE(f.Reports.size(), 1);
        QVERIFY(f.Reports.at(0).contains(QStringLiteral("disk full")));
        f.Reports.clear();
        QCOMPARE(CurrentTable->ID(), f.IdOf(t.A));
        QVERIFY(CurrentTable->IsChanged());
        QCOMPARE(f.Paths(), (QStringList{QStringLiteral("/m/a1.mp3")}));
        QCOMPARE(f.T().currentItem(), t.A);
        QCOMPARE(f.T().selectedItems(), (QList<QTreeWidgetItem*>{t.A}));

        // A right-click on B fails the same way and pops no menu for it.
        SetWriteFaultHook([](const QString&, qint64) { return QStringLiteral("disk full"); });
        f.RightClick(t.B);
        SetWriteFaultHook({});
        QCOMPARE(f.Reports.size(), 1);
        f.Reports.clear();
        QVERIFY(f.Popups.isEmpty());
        QCOMPARE(f.T().currentItem(), t.A);

        // Once the disk has room again the switch goes through.
        f.LeftClick(t.B);
        QCOMPARE(CurrentTable->ID(), f.IdOf(t.B));
        QCOMPARE(f.G().RowCount(), 2);
    }

    void partlyReadTableIsToldInTheStatusBar() {
        QTreeWidgetItem* c = f.AddNode(nullptr, QStringLiteral("Broken"), ntCollection);
        // One good row, then a size that is no number in a number field.
        const QString file = TCurrentTable::TableFileName(f.IdOf(c));
        QDir().mkpath(TMainFixture::Folder());
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        const QString text = QStringLiteral("/m/a.mp3,0,a,9,0,mp3,1/1/2020,,1.0\r\n/m/b.mp3,zz,b,9,0,mp3,1/1/2020,,1.0\r\n");
        out.write("\xFF\xFE");
        out.write(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        out.close();
        f.T().setCurrentItem(c);
        QVERIFY(CurrentTable->LastLoadIncomplete());
        QVERIFY(f.G().RowCount() >= 1);
        QCOMPARE(f.Panel(0), ItemsText(f.G().RowCount()));
        QVERIFY2(f.Panel(1).startsWith(QStringLiteral("Broken: The table could be read only in part")), qPrintable(f.Panel(1)));
        QVERIFY(f.Panel(1).contains(QDir::toNativeSeparators(CurrentTable->LastBackupPath())));
        QVERIFY(QFileInfo::exists(CurrentTable->LastBackupPath()));
    }

    void newCategoryFromASubCategoryMenuIsTopLevel() {
        QTreeWidgetItem* cat = f.AddNode(nullptr, QStringLiteral("Cat"), ntCategory);
        QTreeWidgetItem* sub = f.AddNode(cat, QStringLiteral("Sub"), ntSubCategory);
        cat->setExpanded(true);
        f.RightClick(sub);
        QCOMPARE(f.Popups.value(0), f.W().pumSubCategory);
        f.W().mnuNewCategory->trigger();
        QCOMPARE(f.Captions(), (QStringList{QStringLiteral("Cat"), QStringLiteral("Category")}));
        QCOMPARE(sub->childCount(), 0);
        QTreeWidgetItem* added = f.T().topLevelItem(1);
        QCOMPARE(f.T().currentItem(), added);
        QCOMPARE(NodeOfItem(added)->NodeType(), ntCategory);
        QVERIFY(Tree->Nodes().contains(f.IdOf(added)));
        QVERIFY(f.Editor()); // the caption is being edited in place
    }

    void newSubCategoryAndCollection() {
        const TTwoCollections t = MakeTwoCollections();
        f.AddRows({QStringLiteral("/m/a1.mp3")});
        QTreeWidgetItem* top = f.AddNode(nullptr, QStringLiteral("Top"), ntCategory);
        f.RightClick(top);
        f.W().mnuNewSubCategory->trigger();
        QTreeWidgetItem* sub = top->child(0);
        QVERIFY(sub);
        QCOMPARE(sub->text(0), QStringLiteral("Sub category"));
        QCOMPARE(NodeOfItem(sub)->NodeType(), ntSubCategory);
        QVERIFY(top->isExpanded());
        QCOMPARE(f.T().currentItem(), sub);
        f.FinishEdit(QStringLiteral("Sub category"));

        // A new collection is current at once; the changed table shown before is written.
        f.W().mnuNewCollection->trigger();
        QTreeWidgetItem* coll = sub->child(0);
        QVERIFY(coll);
        QCOMPARE(coll->text(0), QStringLiteral("Collection"));
        QCOMPARE(CurrentTable->ID(), f.IdOf(coll));
        QCOMPARE(f.G().RowCount(), 0);
        QCOMPARE(f.Panel(0), QStringLiteral("0 items"));
        QCOMPARE(f.Panel(1), QStringLiteral("Collection"));
        QVERIFY(sub->isExpanded());
        QVERIFY(f.Editor());
        QVERIFY(TMainFixture::ReadAll(TCurrentTable::TableFileName(f.IdOf(t.A))).contains("a\0001\000.\000m\000p\0003"));

        // Renaming it does not touch panel 1 until it is selected again.
        f.FinishEdit(QStringLiteral("Songs"));
        QCOMPARE(coll->text(0), QStringLiteral("Songs"));
        QCOMPARE(f.Panel(1), QStringLiteral("Collection"));

        // On a collection, the sub-node commands do nothing.
        const int nodes = Tree->Nodes().size();
        f.T().setCurrentItem(coll);
        f.W().mnuNewSubCategory->trigger();
        f.W().mnuNewCollection->trigger();
        QCOMPARE(coll->childCount(), 0);
        QCOMPARE(Tree->Nodes().size(), nodes);
    }

    void renamedTopLevelNodesSortAndANewDefaultNodeStaysLast() {
        for (const QString& caption : {QStringLiteral("C"), QStringLiteral("A"), QStringLiteral("B")}) {
            f.W().mnuNewCategory2->trigger();
            f.FinishEdit(caption);
        }
        QCOMPARE(f.Captions(), (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}));
        // The renamed node stays the current one.
        QCOMPARE(f.T().currentItem()->text(0), QStringLiteral("B"));

        f.W().mnuNewCategory2->trigger();
        f.FinishEdit(QStringLiteral("Category")); // the default caption accepted: no rename
        QCOMPARE(f.Captions(), (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"),
                                            QStringLiteral("Category")}));
        // A cancelled edit sorts nothing either.
        f.T().editItem(f.T().topLevelItem(3), 0);
        f.FinishEdit(QStringLiteral("0"), true);
        QCOMPARE(f.Captions().last(), QStringLiteral("Category"));
    }

    void renamingASubCategorySortsOnlyItsLevel() {
        QTreeWidgetItem* zoo = f.AddNode(nullptr, QStringLiteral("Zoo"), ntCategory);
        QTreeWidgetItem* art = f.AddNode(nullptr, QStringLiteral("Art"), ntCategory);
        QTreeWidgetItem* m = f.AddNode(zoo, QStringLiteral("M"), ntSubCategory);
        QTreeWidgetItem* z = f.AddNode(zoo, QStringLiteral("Z"), ntSubCategory);
        QTreeWidgetItem* k = f.AddNode(zoo, QStringLiteral("K"), ntSubCategory);
        f.AddNode(z, QStringLiteral("y"), ntCollection);
        QTreeWidgetItem* deep = f.AddNode(z, QStringLiteral("x"), ntSubCategory);
        f.AddNode(deep, QStringLiteral("2"), ntCollection);
        f.AddNode(deep, QStringLiteral("1"), ntCollection);
        zoo->setExpanded(true);
        z->setExpanded(true);
        deep->setExpanded(true);
        f.T().setCurrentItem(z);
        f.T().editItem(z, 0);
        f.FinishEdit(QStringLiteral("A"));

        QCOMPARE(f.Captions(zoo), (QStringList{QStringLiteral("A"), QStringLiteral("K"), QStringLiteral("M")}));
        QCOMPARE(zoo->child(0), z);
        // The levels below and the top level keep their order and expansion.
        QCOMPARE(f.Captions(z), (QStringList{QStringLiteral("y"), QStringLiteral("x")}));
        QCOMPARE(f.Captions(deep), (QStringList{QStringLiteral("2"), QStringLiteral("1")}));
        QCOMPARE(f.Captions(), (QStringList{QStringLiteral("Zoo"), QStringLiteral("Art")}));
        QVERIFY(zoo->isExpanded() && z->isExpanded() && deep->isExpanded());
        QVERIFY(!art->isExpanded() && !m->isExpanded() && !k->isExpanded());
        QCOMPARE(f.T().currentItem(), z);
        QCOMPARE(f.T().selectedItems(), (QList<QTreeWidgetItem*>{z}));
        // The records travel with their items.
        QCOMPARE(NodeOfItem(z)->NodeType(), ntSubCategory);
    }

    void sortUsesTheLocaleAwareComparison() {
        // Locale-aware and case-sensitive: the order of localeAwareCompare itself.
        const QStringList captions{QStringLiteral("b"), QStringLiteral("B"), QStringLiteral("a"),
                                   QStringLiteral("A"), QStringLiteral("\u00e4"), QStringLiteral("c")};
        for (const QString& c : captions)
            f.AddNode(nullptr, c, ntCategory);
        QTreeWidgetItem* renamed = f.AddNode(nullptr, QStringLiteral("x"), ntCategory);
        f.T().editItem(renamed, 0);
        f.FinishEdit(QStringLiteral("d"));
        QStringList expected = captions;
        expected << QStringLiteral("d");
        std::stable_sort(expected.begin(), expected.end(),
                         [](const QString& a, const QString& b) { return QString::localeAwareCompare(a, b) < 0; });
        QCOMPARE(f.Captions(), expected);
    }

    void deleteWithChildrenShowsTheMessageAndChangesNothing() {
        QTreeWidgetItem* cat = f.AddNode(nullptr, QStringLiteral("Cat"), ntCategory);
        QTreeWidgetItem* sub = f.AddNode(cat, QStringLiteral("Sub"), ntSubCategory);
        f.T().setCurrentItem(cat);
        f.W().mnuDelete->trigger();
        QCOMPARE(f.Messages.size(), 1);
        QCOMPARE(f.Messages.at(0).Text, QStringLiteral("This folder is not empty.\r\n\r\n"
                                                       "Please delete its contents first, then try again."));
        QCOMPARE(f.Messages.at(0).Caption, QStringLiteral("Error"));
        QCOMPARE(f.Messages.at(0).Icon, TMessageIcon::Error);
        QCOMPARE(f.T().topLevelItemCount(), 1);
        QCOMPARE(Tree->Nodes().size(), 2);

        // Deleting the last child makes the node deletable; no file is touched.
        f.T().setCurrentItem(sub);
        f.W().mnuDelete->trigger();
        QCOMPARE(cat->childCount(), 0);
        f.T().setCurrentItem(cat);
        f.W().mnuDelete->trigger();
        QCOMPARE(f.T().topLevelItemCount(), 0);
        QVERIFY(Tree->Nodes().isEmpty());
        QCOMPARE(f.Messages.size(), 1);
        QVERIFY(!QFileInfo::exists(TMainFixture::Folder()));
    }

    void deletingACollectionRemovesItsTableFile() {
        const TTwoCollections t = MakeTwoCollections();
        const QString file = TCurrentTable::TableFileName(f.IdOf(t.B));
        QVERIFY(QFileInfo::exists(file));
        const std::int32_t id = f.IdOf(t.B);
        f.RightClick(t.B);
        QCOMPARE(f.G().RowCount(), 2);
        f.W().mnuDeleteCollection->trigger();
        QVERIFY(!QFileInfo::exists(file));
        QVERIFY(!Tree->Nodes().contains(id));
        QCOMPARE(f.Captions(t.Cat), (QStringList{QStringLiteral("A")}));
        // The selection moved to A, which loaded as usual; nothing dangles.
        QCOMPARE(f.T().currentItem(), t.A);
        QCOMPARE(CurrentTable->ID(), f.IdOf(t.A));
        QCOMPARE(f.Panel(1), QStringLiteral("A"));

        // Deleting the last collection leaves no table current.
        f.W().mnuDeleteCollection->trigger();
        QCOMPARE(t.Cat->childCount(), 0);
        QCOMPARE(CurrentTable->ID(), -1);
        QCOMPARE(f.G().RowCount(), 0);
    }

    void collectionWhoseTableCannotBeWrittenIsNotDeleted() {
        const TTwoCollections t = MakeTwoCollections();
        f.T().setCurrentItem(t.B);
        f.AddRows({QStringLiteral("/m/b3.mp3")});
        const QString file = TCurrentTable::TableFileName(f.IdOf(t.B));
        const QByteArray before = TMainFixture::ReadAll(file);
        const std::int32_t id = f.IdOf(t.B);
        SetWriteFaultHook([](const QString&, qint64) { return QStringLiteral("disk full"); });
        f.W().mnuDeleteCollection->trigger();
        SetWriteFaultHook({});
        QCOMPARE(f.Reports.size(), 1);
        f.Reports.clear();
        // Node, record, file and the shown rows stay exactly as they were.
        QCOMPARE(f.Captions(t.Cat), (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
        QVERIFY(Tree->Nodes().contains(id));
        QCOMPARE(NodeOfItem(t.B)->ID(), id);
        QCOMPARE(TMainFixture::ReadAll(file), before);
        QCOMPARE(CurrentTable->ID(), id);
        QVERIFY(CurrentTable->IsChanged());
        QCOMPARE(f.G().RowCount(), 3);
        QCOMPARE(f.T().currentItem(), t.B);

        // With room on the disk it goes.
        f.W().mnuDeleteCollection->trigger();
        QVERIFY(!Tree->Nodes().contains(id));
        QVERIFY(!QFileInfo::exists(file));
    }

    void deleteSelectedRows() {
        QTreeWidgetItem* c = f.AddNode(nullptr, QStringLiteral("C"), ntCollection);
        f.T().setCurrentItem(c);
        f.AddRows({QStringLiteral("/r0"), QStringLiteral("/r1"), QStringLiteral("/r2"), QStringLiteral("/r3"),
                   QStringLiteral("/r4"), QStringLiteral("/r5")});
        CurrentTable->SetIsChanged(false);
        f.G().SetRowSelected(2, true);
        f.G().SetRowSelected(5, true);
        f.W().mnuDeleteSelectedRows->trigger();
        QCOMPARE(f.Paths(), (QStringList{QStringLiteral("/r0"), QStringLiteral("/r1"), QStringLiteral("/r3"),
                                         QStringLiteral("/r4")}));
        QCOMPARE(f.Panel(0), QStringLiteral("4 items"));
        QVERIFY(CurrentTable->IsChanged());

        // Nothing selected: nothing deleted, still marked changed.
        CurrentTable->SetIsChanged(false);
        for (int i = 0; i < f.G().RowCount(); ++i)
            f.G().SetRowSelected(i, false);
        f.W().mnuDeleteSelectedRows->trigger();
        QCOMPARE(f.G().RowCount(), 4);
        QVERIFY(CurrentTable->IsChanged());
    }

    void deleteSelectedRowsWithNoCollectionMarksNothing() {
        f.W().mnuDeleteSelectedRows->trigger();
        QCOMPARE(f.Panel(0), QStringLiteral("0 items"));
        QVERIFY(!CurrentTable->IsChanged());
        // So no table file for "no collection" is ever written.
        QTreeWidgetItem* c = f.AddNode(nullptr, QStringLiteral("C"), ntCollection);
        f.T().setCurrentItem(c);
        QVERIFY(!QFileInfo::exists(TCurrentTable::TableFileName(-1)));
    }

    void categoryViewHidesAndShowsTheTreeAsItWas() {
        const TTwoCollections t = MakeTwoCollections();
        f.T().setCurrentItem(t.B);
        QVERIFY(f.W().btnCategoryView->isChecked());
        f.W().btnCategoryView->click();
        QVERIFY(!f.W().btnCategoryView->isChecked());
        QVERIFY(!f.W().Panel1->isVisible());
        QVERIFY(!f.W().Splitter1->isVisible());
        QVERIFY(f.G().isVisible());
        f.W().btnCategoryView->click();
        QVERIFY(f.W().Panel1->isVisible());
        QCOMPARE(f.T().topLevelItemCount(), 1);
        QCOMPARE(f.Captions(t.Cat), (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
        QCOMPARE(f.T().currentItem(), t.B);
        QCOMPARE(f.T().selectedItems(), (QList<QTreeWidgetItem*>{t.B}));
        QCOMPARE(CurrentTable->ID(), f.IdOf(t.B));
    }

    void helpAsksTheShellToOpenTheIntroductionPage() {
        f.W().mnuHelp->trigger();
        QCOMPARE(f.Opened.size(), 1);
        QVERIFY(f.Opened.at(0).isLocalFile());
        QCOMPARE(f.Opened.at(0), IntroductionPageUrl());
    }
};

SORTELLE_TEST_MAIN(TestTree)
#include "tst_tree.moc"

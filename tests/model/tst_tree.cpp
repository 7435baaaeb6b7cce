// The category tree registry and the categories file.
#include "common/MemoryTreeView.h"
#include "common/TestMain.h"

#include "platform/Errors.h"

#include <QFile>
#include <QTemporaryDir>

class TestTree : public QObject {
    Q_OBJECT

    QTemporaryDir fDir;
    QString Path(const QString& name) const { return fDir.filePath(name); }
    static void WriteFile(const QString& path, const QByteArray& data) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(data);
    }
    static QByteArray ReadFile(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private Q_SLOTS:
    void registryErrors() {
        TTree tree;
        tree.CreateNode(3, ntCategory);
        try {
            tree.CreateNode(3, ntCollection);
            QFAIL("duplicate accepted");
        } catch (const EListError& e) {
            QCOMPARE(e.Message(), QStringLiteral("Duplicates not allowed"));
        }
        QCOMPARE(tree.Nodes().value(3)->NodeType(), ntCategory);
        try {
            tree.DeleteNode(4);
            QFAIL("missing ID deleted");
        } catch (const EListError& e) {
            QCOMPARE(e.Message(), QStringLiteral("Item not found"));
        }
        QCOMPARE(tree.Nodes().size(), 1);
    }

    void uniqueIdsAreReused() {
        TTree tree;
        QCOMPARE(tree.GenerateUniqueNodeID(), 0);
        for (int id : {0, 1, 3})
            tree.CreateNode(id, ntCategory);
        QCOMPARE(tree.GenerateUniqueNodeID(), 2);
        tree.DeleteNode(0);
        QCOMPARE(tree.GenerateUniqueNodeID(), 0);

        TTree loaded;
        for (int id = 0; id <= 5; ++id)
            loaded.CreateNode(id, ntCollection);
        QCOMPARE(loaded.GenerateUniqueNodeID(), 6);
        loaded.DeleteNode(2);
        QCOMPARE(loaded.GenerateUniqueNodeID(), 2);
    }

    void saveWritesCompactDocument() {
        TTree tree;
        TMemoryTreeView view;
        auto music = view.AddNode(nullptr, QStringLiteral("Music"), tree.CreateNode(0, ntCategory));
        view.AddNode(music, QStringLiteral("Jazz"), tree.CreateNode(1, ntCollection));
        const QByteArray bytes = tree.SaveToBytes(view);
        QCOMPARE(bytes.trimmed(), QByteArray("<xml><item text=\"Music\" NodeID=\"0\" NodeType=\"0\">"
                                             "<item text=\"Jazz\" NodeID=\"1\" NodeType=\"2\"/></item></xml>"));
    }

    void roundTripKeepsShapeCaptionsIdsAndOrder() {
        TTree tree;
        TMemoryTreeView view;
        // Unsorted captions, several top-level nodes, deep levels, odd characters.
        auto zeta = view.AddNode(nullptr, QStringLiteral("Zeta & <Co> \"quoted\""), tree.CreateNode(7, ntCategory));
        auto sub = view.AddNode(zeta, QString(), tree.CreateNode(2, ntSubCategory));
        view.AddNode(sub, QStringLiteral("b"), tree.CreateNode(0, ntCollection));
        view.AddNode(sub, QStringLiteral("a"), tree.CreateNode(-5, ntCollection));
        view.AddNode(zeta, QStringLiteral("Ünïcødé 音楽"), tree.CreateNode(11, ntCollection));
        view.AddNode(nullptr, QStringLiteral("Alpha"), tree.CreateNode(3, ntCategory));
        auto third = view.AddNode(nullptr, QStringLiteral("  spaced  "), tree.CreateNode(4, ntCategory));
        view.AddNode(third, QStringLiteral("x'y"), tree.CreateNode(5, ntSubCategory));
        tree.Save(view, Path(QStringLiteral("roundtrip.xml")));

        TTree again;
        TMemoryTreeView loaded;
        again.Load(loaded, Path(QStringLiteral("roundtrip.xml")));
        QCOMPARE(loaded.Dump(), view.Dump());
        QCOMPARE(again.Nodes().size(), 8);
        QCOMPARE(again.Nodes().value(-5)->NodeType(), ntCollection);
    }

    void readerForms_data() {
        QTest::addColumn<QByteArray>("content");
        const QByteArray compact =
            "<xml><item text=\"Music\" NodeID=\"0\" NodeType=\"0\"><item text=\"Jazz\" NodeID=\"1\" "
            "NodeType=\"2\"/></item><item text=\"Books\" NodeID=\"2\" NodeType=\"0\"/></xml>";
        QTest::newRow("compact") << compact;
        QTest::newRow("declaration") << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n") + compact;
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF") + compact;
        QTest::newRow("mark and declaration") << QByteArray("\xEF\xBB\xBF<?xml version=\"1.0\"?>") + compact;
        QTest::newRow("indented") << QByteArray(
            "<?xml version=\"1.0\"?>\r\n<xml>\r\n  <item text=\"Music\" NodeID=\"0\" NodeType=\"0\">\r\n"
            "    <item text=\"Jazz\" NodeID=\"1\" NodeType=\"2\"/>\r\n  </item>\r\n"
            "  <item text=\"Books\" NodeID=\"2\" NodeType=\"0\"></item>\r\n</xml>\r\n");
        QTest::newRow("other document element") << QByteArray(compact).replace("xml>", "catalogue>");
        QTest::newRow("comment between items") << QByteArray(compact).replace("</item><item", "</item><!-- c --><item");
    }
    void readerForms() {
        QFETCH(QByteArray, content);
        WriteFile(Path(QStringLiteral("forms.xml")), content);
        TTree tree;
        TMemoryTreeView view;
        tree.Load(view, Path(QStringLiteral("forms.xml")));
        QCOMPARE(view.Dump(), QStringList({QStringLiteral("Music|0|0"), QStringLiteral("  Jazz|1|2"),
                                           QStringLiteral("Books|2|0")}));
        QCOMPARE(tree.Nodes().size(), 3);
    }

    void loadFailures_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("viewAfter");
        QTest::addColumn<QList<int>>("registeredAfter");
        const QByteArray first = "<xml><item text=\"A\" NodeID=\"0\" NodeType=\"0\">";
        QTest::newRow("missing NodeType")
            << first + "<item text=\"B\" NodeID=\"1\"/></item></xml>"
            << QStringLiteral("Could not convert variant of type (Null) into type (Integer)")
            << QStringList{QStringLiteral("A|0|0")} << QList<int>{0};
        QTest::newRow("non-numeric NodeID")
            << first + "<item text=\"B\" NodeID=\"x1\" NodeType=\"2\"/></item></xml>"
            << QStringLiteral("Could not convert variant of type (String) into type (Integer)")
            << QStringList{QStringLiteral("A|0|0")} << QList<int>{0};
        // Without "text" the record is registered but has no tree-view node.
        QTest::newRow("missing text")
            << first + "<item NodeID=\"1\" NodeType=\"2\"/></item></xml>"
            << QStringLiteral("Could not convert variant of type (Null) into type (String)")
            << QStringList{QStringLiteral("A|0|0")} << QList<int>{0, 1};
        QTest::newRow("duplicate ID")
            << first + "<item text=\"B\" NodeID=\"0\" NodeType=\"2\"/></item></xml>"
            << QStringLiteral("Duplicates not allowed") << QStringList{QStringLiteral("A|0|0")}
            << QList<int>{0};
    }
    void loadFailures() {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        QFETCH(QStringList, viewAfter);
        QFETCH(QList<int>, registeredAfter);
        WriteFile(Path(QStringLiteral("bad.xml")), content);
        TTree tree;
        TMemoryTreeView view;
        try {
            tree.Load(view, Path(QStringLiteral("bad.xml")));
            QFAIL("load succeeded");
        } catch (const Exception& e) {
            QCOMPARE(e.Message(), message);
        }
        QCOMPARE(view.Dump(), viewAfter);
        QList<int> ids = tree.Nodes().keys();
        std::sort(ids.begin(), ids.end());
        QCOMPARE(ids, registeredAfter);
    }

    void parseErrorMessage() {
        WriteFile(Path(QStringLiteral("broken.xml")),
                  "<xml>\n<item text=\"A\" NodeID=\"0\" NodeType=\"0\">\n<item text=\"B & C, a long caption here\" "
                  "NodeID=\"1\" NodeType=\"2\"/>\n</item></xml>");
        TTree tree;
        TMemoryTreeView view;
        view.AddNode(nullptr, QStringLiteral("old"), nullptr);
        try {
            tree.Load(view, Path(QStringLiteral("broken.xml")));
            QFAIL("load succeeded");
        } catch (const EParseError& e) {
            const QStringList parts = e.Message().split(u'\n');
            QCOMPARE(parts.size(), 3);
            QVERIFY(!parts.at(0).isEmpty());
            QCOMPARE(parts.at(1), QStringLiteral("Line: 3"));
            QCOMPARE(parts.at(2), QStringLiteral("<item text=\"B & C, a long caption here\" "));
            QCOMPARE(parts.at(2).size(), 40);
        }
        QCOMPARE(view.TotalCount(), 0); // the view is left empty
        QVERIFY(tree.Nodes().isEmpty());
    }

    void deepTreeLoads() {
        // A hand-made file nested far deeper than any user builds must not
        // exhaust the stack.
        QByteArray content = "<xml>";
        const int depth = 3000;
        for (int i = 0; i < depth; ++i)
            content += "<item text=\"n\" NodeID=\"" + QByteArray::number(i) + "\" NodeType=\"1\">";
        for (int i = 0; i < depth; ++i)
            content += "</item>";
        content += "</xml>";
        WriteFile(Path(QStringLiteral("deep.xml")), content);
        TTree tree;
        TMemoryTreeView view;
        try {
            tree.Load(view, Path(QStringLiteral("deep.xml")));
        } catch (const EParseError&) {
            // The parser may refuse extreme nesting; refusing is fine, crashing is not.
        }
        QVERIFY(tree.Nodes().size() <= depth);
    }

    void saveFailureLeavesOldFile() {
        const QString path = Path(QStringLiteral("keep.xml"));
        WriteFile(path, "old content");
        TTree tree;
        TMemoryTreeView view;
        view.AddNode(nullptr, QStringLiteral("A"), tree.CreateNode(0, ntCategory));
        // A regular file stands where the folder should be.
        WriteFile(Path(QStringLiteral("blocker")), "x");
        QVERIFY_THROWS_EXCEPTION(EWriteError, tree.Save(view, Path(QStringLiteral("blocker/sub/categories.xml"))));
        QCOMPARE(ReadFile(path), QByteArray("old content"));
    }
};

SORTELLE_TEST_MAIN(TestTree)
#include "tst_tree.moc"

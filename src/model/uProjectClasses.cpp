#include "uProjectClasses.h"

#include "platform/DataFolder.h"
#include "platform/ErrorReport.h"
#include "platform/Errors.h"
#include "platform/SafeFile.h"

#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamWriter>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

IExtensionLists* ExtensionLists = nullptr;

// ===========================================================================
// TTree

TTree::~TTree() { qDeleteAll(fNodes); }

TNode* TTree::CreateNode(std::int32_t aNodeID, TNodeType aNodeType) {
    if (fNodes.contains(aNodeID))
        throw EListError(QStringLiteral("Duplicates not allowed"));
    auto* node = new TNode(aNodeID, aNodeType);
    fNodes.insert(aNodeID, node);
    return node;
}

void TTree::DeleteNode(std::int32_t aID) {
    auto it = fNodes.find(aID);
    if (it == fNodes.end())
        throw EListError(QStringLiteral("Item not found"));
    delete it.value();
    fNodes.erase(it);
}

std::int32_t TTree::GenerateUniqueNodeID() const {
    std::int32_t id = 0;
    while (fNodes.contains(id))
        ++id;
    return id;
}

namespace {
// Characters XML 1.0 cannot hold; a caption holding one would make the whole
// file unreadable, so they are left out.
QString XmlSafe(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            out += text.at(i);
            out += text.at(++i);
        } else if ((c >= 0x20 && c <= 0xD7FF && c != 0xFFFE && c != 0xFFFF && !QChar::isSurrogate(c)) ||
                   (c >= 0xE000 && c <= 0xFFFD) || c == 0x9 || c == 0xA || c == 0xD) {
            out += text.at(i);
        }
    }
    return out;
}

void SaveItem(const ITreeView& view, ITreeView::Handle node, QXmlStreamWriter& xml) {
    const TNode* record = view.NodeOf(node);
    xml.writeStartElement(QStringLiteral("item"));
    // The attributes in their fixed order: text, NodeID, NodeType.
    xml.writeAttribute(QStringLiteral("text"), XmlSafe(view.Caption(node)));
    xml.writeAttribute(QStringLiteral("NodeID"), QString::number(record ? record->ID() : 0));
    xml.writeAttribute(QStringLiteral("NodeType"), QString::number(record ? int(record->NodeType()) : 0));
    const int count = view.ChildCount(node);
    for (int i = 0; i < count; ++i)
        SaveItem(view, view.Child(node, i), xml);
    xml.writeEndElement();
}

QString VariantTypeName(const QDomElement& element, const QString& name) {
    return element.hasAttribute(name) ? QStringLiteral("String") : QStringLiteral("Null");
}

// An attribute converted to an integer the way a variant converts: a missing
// attribute or a text that is no decimal integer is a variant conversion error.
int IntegerAttribute(const QDomElement& element, const QString& name) {
    bool ok = false;
    const int value = element.hasAttribute(name) ? element.attribute(name).trimmed().toInt(&ok)
                                                 : 0;
    if (!ok)
        throw EVariantError(QStringLiteral("Could not convert variant of type (%1) into type (Integer)")
                                .arg(VariantTypeName(element, name)));
    return value;
}

QString StringAttribute(const QDomElement& element, const QString& name) {
    if (!element.hasAttribute(name))
        throw EVariantError(QStringLiteral("Could not convert variant of type (Null) into type (String)"));
    return element.attribute(name);
}
} // namespace

QByteArray TTree::SaveToBytes(const ITreeView& aTreeView) const {
    // Written with the stream writer rather than the document model: the
    // document model does not keep the order of attributes, and the file
    // names them in a fixed order. Compact: no whitespace between elements.
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(false);
    xml.writeStartElement(QStringLiteral("xml"));
    const int count = aTreeView.ChildCount(nullptr);
    for (int i = 0; i < count; ++i)
        SaveItem(aTreeView, aTreeView.Child(nullptr, i), xml);
    xml.writeEndElement();
    return bytes;
}

void TTree::Save(const ITreeView& aTreeView, const QString& aFilePath) const {
    WriteWholeFile(aFilePath, SaveToBytes(aTreeView));
}

void TTree::Load(ITreeView& aTreeView, const QString& aFilePath) {
    aTreeView.ClearNodes();
    QFile file(aFilePath);
    if (!file.open(QIODevice::ReadOnly))
        throw EOSError(0, QStringLiteral("Cannot open file \"%1\". %2").arg(aFilePath, file.errorString()));
    const QByteArray data = file.readAll();
    LoadFromBytes(aTreeView, data);
}

void TTree::LoadFromBytes(ITreeView& aTreeView, const QByteArray& aData) {
    aTreeView.ClearNodes();
    QDomDocument doc;
    QString reason;
    int line = 0;
    int column = 0;
    if (!doc.setContent(aData, false, &reason, &line, &column)) {
        // The offending source text: the start of the line the parser stopped in.
        QString source;
        const QList<QByteArray> lines = aData.split('\n');
        if (line >= 1 && line <= lines.size()) {
            QByteArray text = lines.at(line - 1);
            if (line == 1 && text.startsWith("\xEF\xBB\xBF"))
                text.remove(0, 3);
            source = QString::fromUtf8(text);
            if (source.endsWith(u'\r'))
                source.chop(1);
        }
        throw EParseError(reason + u'\n' + QStringLiteral("Line: ") + QString::number(line) +
                          u'\n' + source.left(40));
    }

    // Depth-first, in document order; iterative so a deep file cannot exhaust the stack.
    struct Pending {
        QDomNode node;
        ITreeView::Handle parent;
    };
    QList<Pending> stack;
    const QDomElement root = doc.documentElement();
    for (QDomNode child = root.lastChild(); !child.isNull(); child = child.previousSibling())
        stack.append({child, nullptr});
    while (!stack.isEmpty()) {
        const Pending current = stack.takeLast();
        const QDomElement element = current.node.toElement();
        if (element.isNull())
            continue; // comments and processing instructions are not items
        const int nodeType = IntegerAttribute(element, QStringLiteral("NodeType"));
        const int nodeID = IntegerAttribute(element, QStringLiteral("NodeID"));
        TNode* record =
            CreateNode(nodeID, static_cast<TNodeType>(static_cast<std::uint8_t>(nodeType)));
        const QString caption = StringAttribute(element, QStringLiteral("text"));
        ITreeView::Handle handle = aTreeView.AddNode(current.parent, caption, record);
        for (QDomNode child = element.lastChild(); !child.isNull(); child = child.previousSibling())
            stack.append({child, handle});
    }
}

// ===========================================================================
// TCurrentTable

TCurrentTable::TCurrentTable(ITableGrid& grid) : fGrid(grid) {}

TCurrentTable::~TCurrentTable() {
    if (fIsChanged)
        ReportErrors([this] { SaveTable(fID); });
}

QString TCurrentTable::TableFileName(std::int32_t aID) {
    return DataFolder + QStringLiteral("/table") + QString::number(aID) + QStringLiteral(".txt");
}

void TCurrentTable::SetID(std::int32_t Value) {
    if (Value == fID)
        return;
    if (fIsChanged)
        SaveTable(fID); // a failure abandons the switch: rows, ID and flag stay
    fGrid.ClearRows();
    LoadTable(Value);
    fID = Value;
    fIsChanged = false;
}

void TCurrentTable::SaveIfChanged() {
    if (!fIsChanged)
        return;
    SaveTable(fID);
    fIsChanged = false;
}

void TCurrentTable::DeleteTable(std::int32_t aID) {
    SetID(-1);
    const QString fileName = TableFileName(aID);
    if (QFileInfo::exists(fileName))
        QFile::remove(fileName);
    if (fBackupPending && fPendingBackupID == aID)
        fBackupPending = false;
}

void TCurrentTable::LoadTable(std::int32_t aID) {
    fLastLoadIncomplete = false;
    fLastBackupPath.clear();
    const QString fileName = TableFileName(aID);
    if (!QFileInfo::exists(fileName))
        return;
    try {
        fGrid.LoadFromTextFile(fileName, u',', u'|', 0);
    } catch (const std::exception&) {
        // The rows read so far stay. The original is kept before the shorter
        // table can ever replace it.
        fLastLoadIncomplete = true;
        try {
            fLastBackupPath = KeepBackupCopy(fileName);
        } catch (const std::exception&) {
            fBackupPending = true;
            fPendingBackupID = aID;
        }
    }
}

void TCurrentTable::SaveTable(std::int32_t aID) {
    const QString fileName = TableFileName(aID);
    if (fBackupPending && fPendingBackupID == aID) {
        fLastBackupPath = KeepBackupCopy(fileName); // raises: nothing is overwritten
        fBackupPending = false;
    }
    fGrid.SaveToTextFile(fileName, u',', u'|', ekUnicode);
}

// ===========================================================================
// TItem

namespace {
class TBuiltInLists final : public IExtensionLists {
public:
    QString ArchiveText() const override { return QStringLiteral("zip, rar, gz"); }
    QString AudioText() const override { return QStringLiteral("mp3, wav, ogg, midi"); }
    QString DocumentText() const override { return QStringLiteral("pdf, txt, doc, djvu"); }
    QString ExecutableText() const override { return QStringLiteral("exe, msi"); }
    QString PictureText() const override { return QStringLiteral("jpg, gif, png, bmp, ico"); }
    QString VideoText() const override { return QStringLiteral("mp4, avi, wmv, m4v"); }
};
} // namespace

TItem::TItem(const QString& aPath) {
    if (aPath.isEmpty())
        return;
    // One look at the file answers both whether it is there and its size.
    struct stat st {};
    const QByteArray native = QFile::encodeName(aPath);
    if (::stat(native.constData(), &st) != 0) {
        const int code = errno;
        if (code == ENOENT || code == ENOTDIR)
            return; // not an existing file
        // There, perhaps, but it cannot be examined (a loop of links, no
        // permission on a folder of its path, a failing disk).
        throw EOSError(code, QStringLiteral("System Error.  Code: %1.\n%2")
                                 .arg(code)
                                 .arg(QString::fromLocal8Bit(std::strerror(code))));
    }
    if (!S_ISREG(st.st_mode))
        return;
    fPath = aPath;
    const QString component = aPath.mid(aPath.lastIndexOf(u'/') + 1);
    const qsizetype dot = component.lastIndexOf(u'.');
    const QString ext = dot >= 0 ? component.mid(dot) : QString();
    if (ext.isEmpty()) {
        fName = component;
    } else {
        QString name;
        qsizetype from = 0;
        for (qsizetype at = component.indexOf(ext, 0, Qt::CaseSensitive); at >= 0;
             at = component.indexOf(ext, from, Qt::CaseSensitive)) {
            name += QStringView(component).mid(from, at - from);
            from = at + ext.size();
        }
        name += QStringView(component).mid(from);
        fName = name;
    }
    fExtension = QString(ext).remove(u'.');
    fSize = static_cast<std::int64_t>(st.st_size);
    fIconIndex = ClassifyExtension(fExtension);
}

TImageIndex TItem::ClassifyExtension(const QString& aExtension) {
    static const TBuiltInLists builtIn;
    const IExtensionLists& lists = ExtensionLists ? *ExtensionLists : static_cast<const IExtensionLists&>(builtIn);
    if (aExtension.isEmpty())
        return iiUnknown; // an empty text is contained in no list
    const auto in = [&](const QString& list) { return list.contains(aExtension, Qt::CaseSensitive); };
    if (in(lists.ArchiveText()))
        return iiArchive;
    if (in(lists.AudioText()))
        return iiAudio;
    if (in(lists.DocumentText()))
        return iiDocument;
    if (in(lists.ExecutableText()))
        return iiExecutable;
    if (in(lists.PictureText()))
        return iiImage;
    if (in(lists.VideoText()))
        return iiVideo;
    return iiUnknown;
}

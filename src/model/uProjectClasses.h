#pragma once
// The catalogue classes: the node records of the category tree and their
// registry, the collection table shown in the grid, and the file items made
// at import. They reach the tree view, the grid and the options window through
// the narrow interfaces below, so they can be used without windows.

#include <QHash>
#include <QString>
#include <cstdint>
#include <memory>

// ---------------------------------------------------------------------------
// Node types and image indices

enum TNodeType : std::uint8_t { ntCategory = 0, ntSubCategory = 1, ntCollection = 2 };

// Index into the main window's image list imlForm; doubles as an entry's type.
enum TImageIndex : int {
    iiCategory = 0,
    iiSubCategory = 1,
    iiCollection = 2,
    iiDelete = 3,
    iiCategoryView = 4,
    iiOptions = 5,
    iiInformation = 6,
    iiHelp = 7,
    iiAbout = 8,
    iiAudio = 9,
    iiVideo = 10,
    iiImport = 11,
    iiArchive = 12,
    iiDocument = 13,
    iiExecutable = 14,
    iiUnknown = 15,
    iiImage = 16,
};
constexpr int ImageCount = 17;

// ---------------------------------------------------------------------------
// The category tree

// A node record: the node's ID and type. Created only by TTree::CreateNode and
// freed only by the registry; the name lives in the tree view's caption.
class TNode {
public:
    std::int32_t ID() const { return fID; }
    TNodeType NodeType() const { return fNodeType; }

private:
    friend class TTree;
    TNode(std::int32_t id, TNodeType nodeType) : fID(id), fNodeType(nodeType) {}
    std::int32_t fID;
    TNodeType fNodeType;
};

// The tree view as the categories file sees it: the shape of the tree, the
// captions and each node's record. Handles are the view's own items.
class ITreeView {
public:
    using Handle = void*;
    virtual ~ITreeView() = default;
    virtual void ClearNodes() = 0;
    // Appends a node as the last child of `parent` (nullptr: last top-level node).
    virtual Handle AddNode(Handle parent, const QString& caption, TNode* node) = 0;
    virtual int ChildCount(Handle parent) const = 0; // parent nullptr: top level
    virtual Handle Child(Handle parent, int index) const = 0;
    virtual QString Caption(Handle node) const = 0;
    virtual TNode* NodeOf(Handle node) const = 0;
};

// The registry of node records, keyed by node ID; owns the records.
class TTree {
public:
    TTree() = default;
    ~TTree();
    TTree(const TTree&) = delete;
    TTree& operator=(const TTree&) = delete;

    const QHash<std::int32_t, TNode*>& Nodes() const { return fNodes; }

    // Raises EListError "Duplicates not allowed" for an ID already registered.
    TNode* CreateNode(std::int32_t aNodeID, TNodeType aNodeType);
    // Raises EListError "Item not found" for an ID that is not registered.
    void DeleteNode(std::int32_t aID);
    // The smallest integer 0 or greater that is not registered.
    std::int32_t GenerateUniqueNodeID() const;

    // Replaces the view's content with the tree of the file. Raises EParseError
    // for a file that does not parse, EVariantError for a missing or non-numeric
    // attribute and EListError for a duplicate ID; nodes read before stay.
    void Load(ITreeView& aTreeView, const QString& aFilePath);
    // Writes the view's whole tree to the file, whole or not at all
    // (EWriteError on failure).
    void Save(const ITreeView& aTreeView, const QString& aFilePath) const;

    // The document Save writes, as UTF-8 bytes (also used by the benchmarks).
    QByteArray SaveToBytes(const ITreeView& aTreeView) const;
    // Load from bytes already read; `aSourceName` names them in messages.
    void LoadFromBytes(ITreeView& aTreeView, const QByteArray& aData);

private:
    QHash<std::int32_t, TNode*> fNodes;
};

// ---------------------------------------------------------------------------
// The collection table shown in the grid

enum TEncodingKind { ekAnsi, ekUnicode, ekUTF8 };

// The grid as the table store sees it.
class ITableGrid {
public:
    virtual ~ITableGrid() = default;
    virtual int RowCount() const = 0;
    virtual void ClearRows() = 0;
    // Writes every row, whole or not at all; raises EWriteError on failure.
    virtual void SaveToTextFile(const QString& fileName, QChar separator,
                                QChar multiLineSeparator, TEncodingKind encodingKind) = 0;
    // Replaces the rows with the file's; raises at the first field that does not
    // parse, keeping the rows read so far.
    virtual void LoadFromTextFile(const QString& fileName, QChar separator,
                                  QChar multiLineSeparator, int startRow) = 0;
};

class TCurrentTable {
public:
    explicit TCurrentTable(ITableGrid& grid);
    // Saves the shown table when it has changed; a failure is reported.
    ~TCurrentTable();
    TCurrentTable(const TCurrentTable&) = delete;
    TCurrentTable& operator=(const TCurrentTable&) = delete;

    std::int32_t ID() const { return fID; }
    // Switches the table: the same ID does nothing; a changed table is saved
    // under the old ID, the grid is emptied and the new table is loaded.
    void SetID(std::int32_t Value);
    bool IsChanged() const { return fIsChanged; }
    void SetIsChanged(bool Value) { fIsChanged = Value; }

    // Unloads the shown table (saving it if changed) and deletes aID's file.
    void DeleteTable(std::int32_t aID);

    // Writes the shown table now if it has changed, without switching, and
    // clears the flag; raises EWriteError and keeps the flag when the write
    // fails. The main window's close handler uses it so a failed write can be
    // retried at the next close.
    void SaveIfChanged();

    // The table file of a collection: DataFolder + "/table" + ID + ".txt".
    static QString TableFileName(std::int32_t aID);

    // Set when the last load stopped early. The original file is then kept as
    // its ".bak" copy before anything can overwrite it; LastBackupPath() names
    // the copy (empty while it could not be made yet).
    bool LastLoadIncomplete() const { return fLastLoadIncomplete; }
    QString LastBackupPath() const { return fLastBackupPath; }

private:
    void LoadTable(std::int32_t aID);
    void SaveTable(std::int32_t aID);

    ITableGrid& fGrid;
    std::int32_t fID = -1;
    bool fIsChanged = false;
    bool fLastLoadIncomplete = false;
    QString fLastBackupPath;
    std::int32_t fPendingBackupID = -1; // a partly read table whose copy is still owed
    bool fBackupPending = false;
};

// ---------------------------------------------------------------------------
// File items

// The six extension lists, as the options window's edit boxes hold them now.
class IExtensionLists {
public:
    virtual ~IExtensionLists() = default;
    virtual QString ArchiveText() const = 0;
    virtual QString AudioText() const = 0;
    virtual QString DocumentText() const = 0;
    virtual QString ExecutableText() const = 0;
    virtual QString PictureText() const = 0;
    virtual QString VideoText() const = 0;
};

// The lists the classification reads; set by the options window when it is
// created.
extern IExtensionLists* ExtensionLists;

class TItem {
public:
    // Builds the item for a path; a path that is not an existing file gives the
    // empty item. Raises EOSError when the size of an existing file cannot be read.
    explicit TItem(const QString& aPath);

    QString Album() const { return fAlbum; }
    QString Artist() const { return fArtist; }
    std::int32_t BitRate() const { return fBitRate; }
    double Duration() const { return fDuration; }
    QString Extension() const { return fExtension; }
    TImageIndex IconIndex() const { return fIconIndex; }
    QString Name() const { return fName; }
    QString Path() const { return fPath; }
    std::int64_t Size() const { return fSize; }

    // The type code of an extension given without its dot.
    static TImageIndex ClassifyExtension(const QString& aExtension);

private:
    QString fAlbum;
    QString fArtist;
    std::int32_t fBitRate = 0;
    double fDuration = 0;
    QString fExtension;
    TImageIndex fIconIndex = iiCategory;
    QString fName;
    QString fPath;
    std::int64_t fSize = 0;
};

#pragma once

#include "archive/ArchiveReader.h"

#include <QAbstractItemModel>
#include <QIcon>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QMimeData;

namespace morvane {

// The entries of an archive as a view shows them, over the reader's own entries: a tree of the
// backslash-separated folders of the stored names (folders compared without regard to letter
// case, as the games find them), or one flat list of the whole names. Sorting and filtering are
// done here rather than in a proxy, so that a million entries cost a few indexes each: the entry
// order of the sort column, the folder of each entry and the shown entries grouped by folder.
// Folders take the letter case of the first name that holds them.
class ArchiveEntryModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum Column { NameColumn, SizeColumn, StoredSizeColumn, ModifiedColumn, OffsetColumn, ChecksumColumn, ColumnCount };

    // What a set of shown entries adds up to.
    struct Totals
    {
        std::size_t count = 0;
        std::uint64_t bytes = 0; // the entries' sizes once extracted
    };

    // An unreadable archive gives a model without rows. The reader must outlive the model.
    explicit ArchiveEntryModel(const ArchiveReader &reader, QObject *parent = nullptr);
    ~ArchiveEntryModel() override;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    // A column's order, folders first (by name); the order stays as the filter changes.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Drags carry the entries as files: makeDragFiles gets the dragged entries (directory indexes,
    // folders' entries included) and the stored names of the dragged rows that lie in no other
    // dragged folder (entries' names and folders' paths), extracts them and returns the local
    // files to hand out, or an empty list when it refused.
    using DragFileMaker
        = std::function<QList<QUrl>(const std::vector<std::uint32_t> &entries, const std::vector<std::string> &roots)>;
    void SetDragFiles(DragFileMaker makeDragFiles);
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    Qt::DropActions supportedDragActions() const override;

    bool Flat() const { return flat_; }
    void SetFlat(bool flat);

    // Shows only the entries whose name matches: with '*' or '?', a wildcard mask matched against
    // the file name, or against the whole stored name when the mask holds a backslash; otherwise
    // text found anywhere in the stored name. Letter case is ignored as the games ignore it.
    void SetFilter(const QString &text);
    const QString &Filter() const { return filterText_; }

    // The checksum states a verification found, one per entry in directory order.
    void SetChecksumStates(std::vector<ChecksumState> states);

    // Whether any entry is compressed (the stored size column is shown only then).
    bool HasCompressedEntries() const { return compressed_; }

    // The entries the indexes stand for, in directory order, each once: an entry itself, and for
    // a folder every shown entry below it.
    std::vector<std::uint32_t> EntriesOf(const QModelIndexList &indexes) const;
    Totals TotalsOf(const std::vector<std::uint32_t> &entries) const;
    Totals Shown() const;
    // The entry a row stands for; nullptr for a folder.
    const ArchiveEntry *EntryAt(const QModelIndex &index) const;
    // The stored names' folder a row stands for, with backslashes ("DATA\SONS"); empty for an entry.
    std::string FolderPathAt(const QModelIndex &index) const;

private:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

    struct Folder
    {
        std::string_view name; // the last part of its path, from the first stored name that holds it
        std::uint32_t parent = kNone;
        std::uint32_t row = 0; // among the shown children of its parent
        std::uint32_t depth = 0;
        std::vector<std::uint32_t> allFolders; // its sub-folders, by name
        std::vector<std::uint32_t> shownFolders; // those with shown entries below them
        std::uint32_t firstShown = 0; // its shown entries: shown_[firstShown, firstShown + shownCount)
        std::uint32_t shownCount = 0;
        Totals below; // the shown entries below it, at any depth
    };

    void buildFolders();
    std::uint32_t folderOf(std::string_view path);
    void sortFolders();
    // Orders order_ by the sort column.
    void sortEntries();
    // Refills the shown entries and folders from order_ and the filter.
    void applyFilter();
    bool matches(std::string_view name, std::string &scratch) const;
    bool isFolder(const QModelIndex &index) const;
    std::uint32_t folderAt(const QModelIndex &index) const;
    QModelIndex folderIndex(std::uint32_t folder, int column) const;
    const std::vector<ArchiveEntry> &entries() const { return *entries_; }
    QString displayName(std::string_view stored) const;
    QVariant entryData(const ArchiveEntry &entry, int column, int role) const;
    QVariant folderData(const Folder &folder, int column, int role) const;
    void collectBelow(std::uint32_t folder, std::vector<std::uint32_t> &into) const;

    const ArchiveReader &reader_;
    const std::vector<ArchiveEntry> *entries_ = nullptr;
    std::vector<Folder> folders_; // folder 0 is the root
    std::vector<std::uint32_t> entryFolder_; // the folder of each entry, by directory index
    std::vector<std::uint32_t> order_; // every entry, in the sort column's order
    std::vector<std::uint32_t> shown_; // the shown entries, in order_'s order, grouped by folder
    std::vector<ChecksumState> checks_; // once verified; the reader's states until then
    int sortColumn_ = -1; // -1: directory order
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    bool flat_ = false;
    bool compressed_ = false;
    QString filterText_;
    std::string filter_; // folded Windows-1252 bytes
    bool filterIsMask_ = false;
    bool maskTakesWholeName_ = false;
    QIcon folderIcon_;
    QIcon fileIcon_;
    DragFileMaker makeDragFiles_;
};

} // namespace morvane

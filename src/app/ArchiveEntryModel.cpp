#include "app/ArchiveEntryModel.h"

#include "text/CaseFolding.h"
#include "text/Cp1252.h"
#include "text/PrintableText.h"
#include "text/WildcardMask.h"

#include <QApplication>
#include <QLocale>
#include <QMimeData>
#include <QStyle>
#include <QUrl>

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace morvane {

namespace {

// Folder rows carry this bit in their internal id; entry rows carry their directory index.
constexpr quintptr kFolderBit = quintptr(1) << (sizeof(quintptr) * 8 - 1);

struct FoldTable
{
    unsigned char fold[256];
    FoldTable()
    {
        for (int i = 0; i < 256; ++i)
            fold[i] = FoldCp1252(static_cast<unsigned char>(i));
    }
};

const FoldTable &folds()
{
    static const FoldTable kTable;
    return kTable;
}

// Compares two stored names as the games tell them apart: without regard to letter case.
int compareFolded(std::string_view a, std::string_view b)
{
    const unsigned char *fold = folds().fold;
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned char x = fold[static_cast<unsigned char>(a[i])];
        const unsigned char y = fold[static_cast<unsigned char>(b[i])];
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

void foldInto(std::string_view text, std::string &into)
{
    const unsigned char *fold = folds().fold;
    into.resize(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        into[i] = static_cast<char>(fold[static_cast<unsigned char>(text[i])]);
}

std::string_view lastPart(std::string_view name)
{
    const std::size_t slash = name.rfind('\\');
    return slash == std::string_view::npos ? name : name.substr(slash + 1);
}

std::string_view folderPart(std::string_view name)
{
    const std::size_t slash = name.rfind('\\');
    return slash == std::string_view::npos ? std::string_view() : name.substr(0, slash);
}

QString checksumText(ChecksumState state)
{
    switch (state) {
    case ChecksumState::Absent:
        return QStringLiteral("not stored");
    case ChecksumState::NotChecked:
        return QStringLiteral("not checked");
    case ChecksumState::Matches:
        return QStringLiteral("matches");
    case ChecksumState::DoesNotMatch:
        return QStringLiteral("DOES NOT MATCH");
    case ChecksumState::NotJudged:
        return QStringLiteral("stored, not judged");
    }
    return {};
}

} // namespace

ArchiveEntryModel::ArchiveEntryModel(const ArchiveReader &reader, QObject *parent)
    : QAbstractItemModel(parent)
    , reader_(reader)
    , folderIcon_(QApplication::style()->standardIcon(QStyle::SP_DirIcon))
    , fileIcon_(QApplication::style()->standardIcon(QStyle::SP_FileIcon))
{
    folders_.emplace_back();
    if (reader.Readable())
        entries_ = &reader.Entries();
    if (entries_ == nullptr)
        return;
    for (const ArchiveEntry &entry : entries())
        compressed_ = compressed_ || entry.compressed != Compression::None;
    buildFolders();
    sortFolders();
    order_.resize(entries().size());
    for (std::uint32_t i = 0; i < order_.size(); ++i)
        order_[i] = i;
    applyFilter();
}

ArchiveEntryModel::~ArchiveEntryModel() = default;

void ArchiveEntryModel::buildFolders()
{
    entryFolder_.resize(entries().size());
    std::unordered_map<std::string, std::uint32_t> byPath;
    std::string folded;
    // Names of one folder mostly follow each other: the last folder found serves them all.
    std::string_view lastPath;
    std::uint32_t lastFolder = 0;
    bool haveLast = false;
    for (std::uint32_t i = 0; i < entries().size(); ++i) {
        const std::string_view path = folderPart(entries()[i].name);
        if (!haveLast || path != lastPath) {
            lastPath = path;
            haveLast = true;
            // Each folder of the path, from the top, found or made.
            std::uint32_t folder = 0;
            std::size_t start = 0;
            while (start <= path.size() && !path.empty()) {
                std::size_t end = path.find('\\', start);
                if (end == std::string_view::npos)
                    end = path.size();
                foldInto(path.substr(0, end), folded);
                auto [found, made] = byPath.try_emplace(folded, std::uint32_t(folders_.size()));
                if (made) {
                    Folder child;
                    child.name = path.substr(start, end - start);
                    child.parent = folder;
                    child.depth = folders_[folder].depth + 1;
                    folders_[folder].allFolders.push_back(found->second);
                    folders_.push_back(std::move(child));
                }
                folder = found->second;
                start = end + 1;
            }
            lastFolder = folder;
        }
        entryFolder_[i] = lastFolder;
    }
}

void ArchiveEntryModel::sortFolders()
{
    const bool descending = sortColumn_ == NameColumn && sortOrder_ == Qt::DescendingOrder;
    for (Folder &folder : folders_) {
        std::stable_sort(folder.allFolders.begin(), folder.allFolders.end(),
                         [this, descending](std::uint32_t a, std::uint32_t b) {
                             const int order = compareFolded(folders_[a].name, folders_[b].name);
                             return descending ? order > 0 : order < 0;
                         });
    }
}

void ArchiveEntryModel::sortEntries()
{
    const std::vector<ArchiveEntry> &all = entries();
    for (std::uint32_t i = 0; i < order_.size(); ++i)
        order_[i] = i;
    const auto byKey = [this](auto key) {
        const bool descending = sortOrder_ == Qt::DescendingOrder;
        std::stable_sort(order_.begin(), order_.end(), [&](std::uint32_t a, std::uint32_t b) {
            return descending ? key(b) < key(a) : key(a) < key(b);
        });
    };
    switch (sortColumn_) {
    case NameColumn: {
        const bool descending = sortOrder_ == Qt::DescendingOrder;
        std::stable_sort(order_.begin(), order_.end(), [&](std::uint32_t a, std::uint32_t b) {
            const int order = compareFolded(all[a].name, all[b].name);
            return descending ? order > 0 : order < 0;
        });
        break;
    }
    case SizeColumn:
        byKey([&](std::uint32_t i) { return all[i].originalSize; });
        break;
    case StoredSizeColumn:
        byKey([&](std::uint32_t i) { return all[i].storedSize; });
        break;
    case ModifiedColumn: {
        // By the time the value stands for, not its stored form; times that decode to none first.
        std::vector<std::int64_t> times(all.size());
        for (std::uint32_t i = 0; i < all.size(); ++i)
            times[i] = reader_.FileTimeOf(all[i]).value_or(INT64_MIN);
        byKey([&](std::uint32_t i) { return times[i]; });
        break;
    }
    case OffsetColumn:
        byKey([&](std::uint32_t i) { return all[i].dataOffset; });
        break;
    case ChecksumColumn:
        byKey([&](std::uint32_t i) { return checks_.empty() ? all[i].check : checks_[i]; });
        break;
    default:
        break; // directory order
    }
}

bool ArchiveEntryModel::matches(std::string_view name, std::string &scratch) const
{
    if (filter_.empty())
        return true;
    if (filterIsMask_) {
        foldInto(maskTakesWholeName_ ? name : lastPart(name), scratch);
        return MaskMatches(filter_, scratch);
    }
    foldInto(name, scratch);
    return scratch.find(filter_) != std::string::npos;
}

void ArchiveEntryModel::applyFilter()
{
    for (Folder &folder : folders_) {
        folder.shownFolders.clear();
        folder.firstShown = 0;
        folder.shownCount = 0;
        folder.below = {};
    }
    shown_.clear();
    if (entries_ == nullptr)
        return;
    const std::vector<ArchiveEntry> &all = entries();
    std::string scratch;
    std::vector<bool> match(all.size());
    std::size_t matched = 0;
    for (std::uint32_t i = 0; i < all.size(); ++i) {
        if (matches(all[i].name, scratch)) {
            match[i] = true;
            ++matched;
            if (!flat_)
                ++folders_[entryFolder_[i]].shownCount;
        }
    }
    shown_.resize(matched);
    if (flat_) {
        std::size_t at = 0;
        for (const std::uint32_t i : order_) {
            if (match[i])
                shown_[at++] = i;
        }
        folders_[0].shownCount = std::uint32_t(matched);
        for (const std::uint32_t i : shown_) {
            folders_[0].below.count++;
            folders_[0].below.bytes += all[i].originalSize;
        }
        return;
    }
    // Each folder's entries take one stretch of shown_, filled in the sort order.
    std::uint32_t start = 0;
    for (Folder &folder : folders_) {
        folder.firstShown = start;
        start += folder.shownCount;
    }
    std::vector<std::uint32_t> fill(folders_.size());
    for (std::uint32_t f = 0; f < folders_.size(); ++f)
        fill[f] = folders_[f].firstShown;
    for (const std::uint32_t i : order_) {
        if (!match[i])
            continue;
        const std::uint32_t folder = entryFolder_[i];
        shown_[fill[folder]++] = i;
        folders_[folder].below.count++;
        folders_[folder].below.bytes += all[i].originalSize;
    }
    // Deeper folders first, so that each adds its whole total to its parent.
    std::vector<std::uint32_t> byDepth(folders_.size());
    for (std::uint32_t f = 0; f < byDepth.size(); ++f)
        byDepth[f] = f;
    std::stable_sort(byDepth.begin(), byDepth.end(),
                     [this](std::uint32_t a, std::uint32_t b) { return folders_[a].depth > folders_[b].depth; });
    for (const std::uint32_t f : byDepth) {
        if (folders_[f].parent == kNone)
            continue;
        Folder &parent = folders_[folders_[f].parent];
        parent.below.count += folders_[f].below.count;
        parent.below.bytes += folders_[f].below.bytes;
    }
    for (Folder &folder : folders_) {
        for (const std::uint32_t child : folder.allFolders) {
            if (folders_[child].below.count == 0)
                continue;
            folders_[child].row = std::uint32_t(folder.shownFolders.size());
            folder.shownFolders.push_back(child);
        }
    }
}

void ArchiveEntryModel::sort(int column, Qt::SortOrder order)
{
    if (entries_ == nullptr || column >= ColumnCount)
        return;
    beginResetModel();
    sortColumn_ = column;
    sortOrder_ = order;
    sortFolders();
    sortEntries();
    applyFilter();
    endResetModel();
}

void ArchiveEntryModel::SetFlat(bool flat)
{
    if (flat == flat_)
        return;
    beginResetModel();
    flat_ = flat;
    applyFilter();
    endResetModel();
}

void ArchiveEntryModel::SetFilter(const QString &text)
{
    if (text == filterText_)
        return;
    beginResetModel();
    filterText_ = text;
    // The filter is matched against the stored bytes: typed characters Windows-1252 lacks
    // become '?', which as a mask matches any one character and as text matches nothing else.
    const std::string bytes = Utf8ToCp1252(text.toStdString());
    foldInto(bytes, filter_);
    filterIsMask_ = filter_.find_first_of("*?") != std::string::npos;
    maskTakesWholeName_ = filter_.find('\\') != std::string::npos;
    applyFilter();
    endResetModel();
}

void ArchiveEntryModel::SetChecksumStates(std::vector<ChecksumState> states)
{
    if (entries_ == nullptr || states.size() != entries().size())
        return;
    checks_ = std::move(states);
    if (sortColumn_ == ChecksumColumn) {
        sort(sortColumn_, sortOrder_);
        return;
    }
    Q_EMIT layoutAboutToBeChanged();
    Q_EMIT layoutChanged();
}

bool ArchiveEntryModel::isFolder(const QModelIndex &index) const
{
    return index.isValid() && (index.internalId() & kFolderBit) != 0;
}

std::uint32_t ArchiveEntryModel::folderAt(const QModelIndex &index) const
{
    if (!index.isValid())
        return 0;
    return std::uint32_t(index.internalId() & ~kFolderBit);
}

QModelIndex ArchiveEntryModel::folderIndex(std::uint32_t folder, int column) const
{
    if (folder == 0)
        return {};
    return createIndex(int(folders_[folder].row), column, quintptr(folder) | kFolderBit);
}

QModelIndex ArchiveEntryModel::index(int row, int column, const QModelIndex &parent) const
{
    if (row < 0 || column < 0 || column >= ColumnCount || (parent.isValid() && !isFolder(parent)))
        return {};
    const Folder &folder = folders_[folderAt(parent)];
    const auto folders = flat_ ? 0 : folder.shownFolders.size();
    if (std::size_t(row) < folders)
        return createIndex(row, column, quintptr(folder.shownFolders[std::size_t(row)]) | kFolderBit);
    const std::size_t at = std::size_t(row) - folders;
    if (at >= folder.shownCount)
        return {};
    return createIndex(row, column, quintptr(shown_[folder.firstShown + at]));
}

QModelIndex ArchiveEntryModel::parent(const QModelIndex &child) const
{
    if (!child.isValid() || flat_)
        return {};
    if (isFolder(child))
        return folderIndex(folders_[folderAt(child)].parent, 0);
    return folderIndex(entryFolder_[child.internalId()], 0);
}

int ArchiveEntryModel::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0 || (parent.isValid() && !isFolder(parent)))
        return 0;
    const Folder &folder = folders_[folderAt(parent)];
    return int((flat_ ? 0 : folder.shownFolders.size()) + folder.shownCount);
}

bool ArchiveEntryModel::hasChildren(const QModelIndex &parent) const
{
    return rowCount(parent) > 0;
}

int ArchiveEntryModel::columnCount(const QModelIndex &) const
{
    return ColumnCount;
}

QString ArchiveEntryModel::displayName(std::string_view stored) const
{
    return QString::fromStdString(PrintableCp1252(stored, TerminalEncoding::Utf8));
}

QVariant ArchiveEntryModel::entryData(const ArchiveEntry &entry, int column, int role) const
{
    const QLocale locale;
    if (role == Qt::TextAlignmentRole) {
        if (column == SizeColumn || column == StoredSizeColumn || column == OffsetColumn)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    }
    if (role == Qt::DecorationRole)
        return column == NameColumn ? QVariant(fileIcon_) : QVariant();
    if (role == Qt::ToolTipRole && column == NameColumn)
        return displayName(entry.name);
    if (role != Qt::DisplayRole)
        return {};
    switch (column) {
    case NameColumn:
        return displayName(flat_ ? entry.name : lastPart(entry.name));
    case SizeColumn:
        return locale.toString(qulonglong(entry.originalSize));
    case StoredSizeColumn:
        return locale.toString(qulonglong(entry.storedSize));
    case ModifiedColumn:
        return QString::fromStdString(reader_.FormatTime(entry));
    case OffsetColumn:
        return locale.toString(qulonglong(entry.dataOffset));
    case ChecksumColumn:
        return checksumText(checks_.empty() ? entry.check : checks_[entry.index]);
    default:
        return {};
    }
}

QVariant ArchiveEntryModel::folderData(const Folder &folder, int column, int role) const
{
    if (role == Qt::DecorationRole)
        return column == NameColumn ? QVariant(folderIcon_) : QVariant();
    if (role == Qt::TextAlignmentRole)
        return column == SizeColumn ? QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    if (role == Qt::ToolTipRole && column == NameColumn)
        return QStringLiteral("%1 entries").arg(QLocale().toString(qulonglong(folder.below.count)));
    if (role != Qt::DisplayRole)
        return {};
    if (column == NameColumn)
        return displayName(folder.name);
    if (column == SizeColumn)
        return QLocale().toString(qulonglong(folder.below.bytes));
    return {};
}

QVariant ArchiveEntryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    if (isFolder(index))
        return folderData(folders_[folderAt(index)], index.column(), role);
    return entryData(entries()[index.internalId()], index.column(), role);
}

QVariant ArchiveEntryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case NameColumn:
        return QStringLiteral("Name");
    case SizeColumn:
        return QStringLiteral("Size");
    case StoredSizeColumn:
        return QStringLiteral("Stored size");
    case ModifiedColumn:
        return QStringLiteral("Modified");
    case OffsetColumn:
        return QStringLiteral("Offset");
    case ChecksumColumn:
        return QStringLiteral("Checksum");
    default:
        return {};
    }
}

Qt::ItemFlags ArchiveEntryModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (makeDragFiles_)
        flags |= Qt::ItemIsDragEnabled;
    if (!isFolder(index))
        flags |= Qt::ItemNeverHasChildren;
    return flags;
}

void ArchiveEntryModel::collectBelow(std::uint32_t folder, std::vector<std::uint32_t> &into) const
{
    const Folder &f = folders_[folder];
    into.insert(into.end(), shown_.begin() + f.firstShown, shown_.begin() + f.firstShown + f.shownCount);
    if (flat_)
        return;
    for (const std::uint32_t child : f.shownFolders)
        collectBelow(child, into);
}

std::vector<std::uint32_t> ArchiveEntryModel::EntriesOf(const QModelIndexList &indexes) const
{
    std::vector<std::uint32_t> found;
    for (const QModelIndex &index : indexes) {
        if (!index.isValid() || index.model() != this || index.column() != NameColumn)
            continue;
        if (isFolder(index))
            collectBelow(folderAt(index), found);
        else
            found.push_back(std::uint32_t(index.internalId()));
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    return found;
}

ArchiveEntryModel::Totals ArchiveEntryModel::TotalsOf(const std::vector<std::uint32_t> &indexes) const
{
    Totals totals;
    for (const std::uint32_t i : indexes) {
        totals.count++;
        totals.bytes += entries()[i].originalSize;
    }
    return totals;
}

ArchiveEntryModel::Totals ArchiveEntryModel::Shown() const
{
    return folders_[0].below;
}

const ArchiveEntry *ArchiveEntryModel::EntryAt(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this || isFolder(index))
        return nullptr;
    return &entries()[index.internalId()];
}

std::string ArchiveEntryModel::FolderPathAt(const QModelIndex &index) const
{
    if (!isFolder(index))
        return {};
    std::string path;
    for (std::uint32_t f = folderAt(index); f != 0; f = folders_[f].parent)
        path = std::string(folders_[f].name) + (path.empty() ? "" : "\\") + path;
    return path;
}

void ArchiveEntryModel::SetDragFiles(DragFileMaker makeDragFiles)
{
    makeDragFiles_ = std::move(makeDragFiles);
}

QStringList ArchiveEntryModel::mimeTypes() const
{
    return {QStringLiteral("text/uri-list")};
}

QMimeData *ArchiveEntryModel::mimeData(const QModelIndexList &indexes) const
{
    if (!makeDragFiles_)
        return nullptr;
    std::vector<std::string> roots;
    for (const QModelIndex &index : indexes) {
        if (index.column() != NameColumn)
            continue;
        if (const ArchiveEntry *entry = EntryAt(index))
            roots.emplace_back(entry->name);
        else if (isFolder(index))
            roots.push_back(FolderPathAt(index));
    }
    // A row inside a dragged folder comes with the folder.
    std::unordered_set<std::string> folded;
    std::string scratch;
    for (const std::string &root : roots) {
        foldInto(root, scratch);
        folded.insert(scratch);
    }
    std::vector<std::string> outer;
    std::unordered_set<std::string> taken;
    for (const std::string &root : roots) {
        foldInto(root, scratch);
        bool inside = false;
        for (std::size_t slash = scratch.find('\\'); slash != std::string::npos && !inside;
             slash = scratch.find('\\', slash + 1))
            inside = folded.count(scratch.substr(0, slash)) != 0;
        if (!inside && taken.insert(scratch).second)
            outer.push_back(root);
    }
    const QList<QUrl> urls = makeDragFiles_(EntriesOf(indexes), outer);
    if (urls.isEmpty())
        return nullptr;
    auto *data = new QMimeData;
    data->setUrls(urls);
    return data;
}

Qt::DropActions ArchiveEntryModel::supportedDragActions() const
{
    return Qt::CopyAction;
}

} // namespace morvane

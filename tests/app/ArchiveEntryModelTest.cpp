#include "CaseName.h"
#include "CraftedArchive.h"
#include "QtPrinters.h"
#include "QtText.h"
#include "TestFiles.h"

#include "app/ArchiveEntryModel.h"

#include <QAbstractItemModelTester>
#include <QMimeData>
#include <QUrl>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace morvane {
namespace {

using test::CraftArchive;
using test::CraftedEntry;
using test::PrintTo;
using test::Q;
using test::TempDir;
using test::WriteFile;

// Names in several folders, one folder spelt in two letter cases and a Windows-1252 capital.
const std::vector<CraftedEntry> kEntries = {
    {"SONS\\Tir.wav", std::string(30, 'a')},    {"readme.txt", std::string(5, 'b')},
    {"sons\\explosion.WAV", std::string(70, 'c')}, {"Data\\\xC9T\xC9\\b.bin", std::string(10, 'd')},
    {"Data\\a.bin", std::string(1, 'e')},        {"Data\\\xC9t\xE9\\c.txt", std::string(2, 'f')},
};

// The model tester's findings fail the test that made them.
void failOnModelTestWarning(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtDebugMsg && context.category != nullptr && QByteArray(context.category) == "qt.modeltest")
        ADD_FAILURE() << message.toStdString();
}

class EntryModel : public testing::Test
{
protected:
    EntryModel()
        : previousHandler(qInstallMessageHandler(failOnModelTestWarning))
    {
        WriteFile(dir / "a.pod", CraftArchive(kEntries));
        reader = std::make_unique<ArchiveReader>(dir / "a.pod");
        model = std::make_unique<ArchiveEntryModel>(*reader);
        // Checks every index, parent and row count the views rely on, after every change.
        tester = std::make_unique<QAbstractItemModelTester>(model.get(),
                                                            QAbstractItemModelTester::FailureReportingMode::Warning);
    }

    QStringList Names(const QModelIndex &parent = {}) const
    {
        QStringList names;
        for (int row = 0; row < model->rowCount(parent); ++row)
            names << model->index(row, ArchiveEntryModel::NameColumn, parent).data().toString();
        return names;
    }

    QModelIndex Child(const QString &name, const QModelIndex &parent = {}) const
    {
        for (int row = 0; row < model->rowCount(parent); ++row) {
            const QModelIndex index = model->index(row, 0, parent);
            if (index.data().toString() == name)
                return index;
        }
        ADD_FAILURE() << name.toStdString() << " not shown";
        return {};
    }

    // Every shown entry's whole name, in the order a flat view shows them.
    QStringList FlatNames()
    {
        model->SetFlat(true);
        QStringList names = Names();
        model->SetFlat(false);
        return names;
    }

    ~EntryModel() override
    {
        tester.reset();
        qInstallMessageHandler(previousHandler);
    }

    QtMessageHandler previousHandler;
    TempDir dir;
    std::unique_ptr<ArchiveReader> reader;
    std::unique_ptr<ArchiveEntryModel> model;
    std::unique_ptr<QAbstractItemModelTester> tester;
};

TEST_F(EntryModel, FoldersFirstThenEntriesWithFoldersMergedWhateverTheirLetterCase)
{
    // Folders by name; entries in directory order until a column is chosen.
    EXPECT_EQ(Names(), (QStringList {"Data", "SONS", "readme.txt"}));
    const QModelIndex sons = Child("SONS");
    EXPECT_EQ(Names(sons), (QStringList {"Tir.wav", "explosion.WAV"}));
    EXPECT_EQ(model->parent(model->index(1, 0, sons)), sons);
    const QModelIndex data = Child("Data");
    EXPECT_EQ(Names(data), (QStringList {"ÉTÉ", "a.bin"}));
    EXPECT_EQ(Names(Child("ÉTÉ", data)), (QStringList {"b.bin", "c.txt"}));
    EXPECT_EQ(model->FolderPathAt(Child("ÉTÉ", data)), "Data\\\xC9T\xC9");
    EXPECT_EQ(model->Shown().count, kEntries.size());
    EXPECT_EQ(model->Shown().bytes, 118u);
    EXPECT_EQ(model->index(0, ArchiveEntryModel::SizeColumn, data).data().toString(), "12");
}

TEST_F(EntryModel, FlatViewListsWholeNamesInDirectoryOrder)
{
    model->SetFlat(true);
    EXPECT_EQ(Names(), (QStringList {"SONS\\Tir.wav", "readme.txt", "sons\\explosion.WAV", "Data\\ÉTÉ\\b.bin",
                                     "Data\\a.bin", "Data\\Été\\c.txt"}));
    EXPECT_FALSE(model->parent(model->index(3, 0)).isValid());
    EXPECT_EQ(model->rowCount(model->index(3, 0)), 0);
}

struct SortCase
{
    const char *name;
    int column;
    Qt::SortOrder order;
    QStringList flat;
};

class EntryModelSort : public EntryModel, public testing::WithParamInterface<SortCase>
{
};

TEST_P(EntryModelSort, OrdersEveryEntryByTheColumn)
{
    model->sort(GetParam().column, GetParam().order);
    EXPECT_EQ(FlatNames(), GetParam().flat);
}

INSTANTIATE_TEST_SUITE_P(
    Columns, EntryModelSort,
    testing::Values(
        SortCase {"NameIgnoringCase", ArchiveEntryModel::NameColumn, Qt::AscendingOrder,
                  {"Data\\a.bin", "Data\\ÉTÉ\\b.bin", "Data\\Été\\c.txt", "readme.txt", "sons\\explosion.WAV",
                   "SONS\\Tir.wav"}},
        SortCase {"NameDescending", ArchiveEntryModel::NameColumn, Qt::DescendingOrder,
                  {"SONS\\Tir.wav", "sons\\explosion.WAV", "readme.txt", "Data\\Été\\c.txt", "Data\\ÉTÉ\\b.bin",
                   "Data\\a.bin"}},
        SortCase {"Size", ArchiveEntryModel::SizeColumn, Qt::AscendingOrder,
                  {"Data\\a.bin", "Data\\Été\\c.txt", "readme.txt", "Data\\ÉTÉ\\b.bin", "SONS\\Tir.wav",
                   "sons\\explosion.WAV"}},
        SortCase {"OffsetDescending", ArchiveEntryModel::OffsetColumn, Qt::DescendingOrder,
                  {"Data\\Été\\c.txt", "Data\\a.bin", "Data\\ÉTÉ\\b.bin", "sons\\explosion.WAV", "readme.txt",
                   "SONS\\Tir.wav"}},
        SortCase {"DirectoryOrder", -1, Qt::AscendingOrder,
                  {"SONS\\Tir.wav", "readme.txt", "sons\\explosion.WAV", "Data\\ÉTÉ\\b.bin", "Data\\a.bin",
                   "Data\\Été\\c.txt"}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(EntryModel, SortingByNameOrdersFoldersToo)
{
    model->sort(ArchiveEntryModel::NameColumn, Qt::DescendingOrder);
    EXPECT_EQ(Names(), (QStringList {"SONS", "Data", "readme.txt"}));
    model->sort(ArchiveEntryModel::NameColumn, Qt::AscendingOrder);
    EXPECT_EQ(Names(), (QStringList {"Data", "SONS", "readme.txt"}));
    EXPECT_EQ(Names(Child("SONS")), (QStringList {"explosion.WAV", "Tir.wav"}));
}

struct FilterCase
{
    const char *name;
    const char *filter; // UTF-8, as typed
    QStringList flat; // in directory order
};

class EntryModelFilter : public EntryModel, public testing::WithParamInterface<FilterCase>
{
};

TEST_P(EntryModelFilter, ShowsTheMatchingEntriesIgnoringLetterCase)
{
    model->SetFilter(QString::fromUtf8(GetParam().filter));
    EXPECT_EQ(FlatNames(), GetParam().flat);
    EXPECT_EQ(model->Shown().count, std::size_t(GetParam().flat.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, EntryModelFilter,
    testing::Values(FilterCase {"PlainTextAnywhereInTheName", "SONS", {"SONS\\Tir.wav", "sons\\explosion.WAV"}},
                    FilterCase {"AccentedCapitals", "été\\", {"Data\\ÉTÉ\\b.bin", "Data\\Été\\c.txt"}},
                    FilterCase {"MaskOnTheFileName", "*.wav", {"SONS\\Tir.wav", "sons\\explosion.WAV"}},
                    FilterCase {"MaskDoesNotSpanFolders", "d*", {}},
                    FilterCase {"MaskWithBackslashOnTheWholeName", "data\\*.bin", {"Data\\ÉTÉ\\b.bin", "Data\\a.bin"}},
                    FilterCase {"QuestionMark", "?.bin", {"Data\\ÉTÉ\\b.bin", "Data\\a.bin"}},
                    FilterCase {"NoMatch", "nothing", {}},
                    FilterCase {"CharacterTheNamesCannotHold", "中", {}},
                    FilterCase {"Empty", "", {"SONS\\Tir.wav", "readme.txt", "sons\\explosion.WAV",
                                              "Data\\ÉTÉ\\b.bin", "Data\\a.bin", "Data\\Été\\c.txt"}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(EntryModel, FilterHidesFoldersWithoutMatchesAndCountsWhatIsShown)
{
    model->SetFilter("c.txt");
    EXPECT_EQ(Names(), (QStringList {"Data"}));
    EXPECT_EQ(Names(Child("Data")), (QStringList {"ÉTÉ"}));
    EXPECT_EQ(model->Shown().count, 1u);
    EXPECT_EQ(model->Shown().bytes, 2u);
}

TEST_F(EntryModel, AFolderStandsForEveryShownEntryBelowIt)
{
    const QModelIndex data = Child("Data");
    EXPECT_EQ(model->EntriesOf({data}), (std::vector<std::uint32_t> {3, 4, 5}));
    // An entry also selected through its folder counts once.
    EXPECT_EQ(model->EntriesOf({data, model->index(1, 0, data), Child("readme.txt")}),
              (std::vector<std::uint32_t> {1, 3, 4, 5}));
    model->SetFilter("*.bin");
    EXPECT_EQ(model->EntriesOf({Child("Data")}), (std::vector<std::uint32_t> {3, 4}));
    EXPECT_EQ(model->TotalsOf({3, 4}).bytes, 11u);
}

TEST_F(EntryModel, ChecksumStatesFromAVerificationAreShown)
{
    model->SetFlat(true);
    const QModelIndex first = model->index(0, ArchiveEntryModel::ChecksumColumn);
    EXPECT_EQ(first.data().toString(), "not stored");
    std::vector<ChecksumState> states(kEntries.size(), ChecksumState::Matches);
    states[0] = ChecksumState::DoesNotMatch;
    model->SetChecksumStates(states);
    EXPECT_EQ(model->index(0, ArchiveEntryModel::ChecksumColumn).data().toString(), "DOES NOT MATCH");
    EXPECT_EQ(model->index(1, ArchiveEntryModel::ChecksumColumn).data().toString(), "matches");
}

TEST_F(EntryModel, DraggedFoldersCarryTheirRowsOnce)
{
    std::vector<std::string> roots;
    std::vector<std::uint32_t> entries;
    model->SetDragFiles([&](const std::vector<std::uint32_t> &dragged, const std::vector<std::string> &outer) {
        entries = dragged;
        roots = outer;
        return QList<QUrl> {QUrl::fromLocalFile(Q(dir / "x"))};
    });
    const QModelIndex data = Child("Data");
    const QModelIndex ete = Child("ÉTÉ", data);
    const std::unique_ptr<QMimeData> mime(
        model->mimeData({data, ete, model->index(0, 0, ete), Child("readme.txt"), Child("SONS")}));
    ASSERT_NE(mime, nullptr);
    EXPECT_EQ(mime->urls().size(), 1);
    std::sort(roots.begin(), roots.end());
    EXPECT_EQ(roots, (std::vector<std::string> {"Data", "SONS", "readme.txt"}));
    EXPECT_EQ(entries, (std::vector<std::uint32_t> {0, 1, 2, 3, 4, 5}));
}

TEST(EntryModelOfDamage, AnArchiveWhoseEntriesCannotBeReadHasNoRows)
{
    TempDir dir;
    std::string bytes = CraftArchive(kEntries);
    test::PutLE32(bytes, 264, 0x7FFFFFF0); // the directory past the end
    WriteFile(dir / "bad.pod", bytes);
    const ArchiveReader reader(dir / "bad.pod");
    ASSERT_FALSE(reader.Readable());
    ArchiveEntryModel model(reader);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.Shown().count, 0u);
    model.SetFilter("a");
    model.sort(ArchiveEntryModel::NameColumn);
    EXPECT_EQ(model.rowCount(), 0);
}

} // namespace
} // namespace morvane

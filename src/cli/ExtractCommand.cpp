#include "cli/Commands.h"

#include "archive/Extraction.h"
#include "platform/TerminalEncoding.h"
#include "text/PrintableText.h"

#include <iostream>

namespace morvane::cli {
namespace {

std::string printable(const std::string &text)
{
    return PrintableFileName(text, UserTerminalEncoding());
}

// Keeps what is to be said about the entries not written, to print it, in archive order, once
// every file is written.
class ExtractionReport : public ExtractionObserver
{
public:
    explicit ExtractionReport(const ArchiveReader &reader)
        : reader_(reader)
    {
    }

    void EntryDone(const ArchiveEntry &entry, const EntryOutcome &outcome) override
    {
        std::string said;
        switch (outcome.what) {
        case EntryOutcome::Kind::Written:
            return;
        case EntryOutcome::Kind::Refused:
            said = "refused: " + outcome.reason + "; nothing written for it";
            break;
        case EntryOutcome::Kind::Kept:
            said = "not extracted: " + outcome.reason + " (give --overwrite to replace it)";
            break;
        case EntryOutcome::Kind::Failed:
            said = "not extracted: " + outcome.reason;
            break;
        }
        lines_.push_back(reader_.Path() + ": " + reader_.EntryLabel(entry) + ' ' + said);
    }

    void Print() const
    {
        for (const std::string &line : lines_)
            std::cerr << "morvane-cli: " << printable(line) << '\n';
    }

private:
    const ArchiveReader &reader_;
    std::vector<std::string> lines_;
};

} // namespace

int RunExtract(const std::vector<std::string> &args)
{
    const Arguments arguments = ParseArguments(args, {}, {"--overwrite"});
    if (arguments.operands.size() < 2)
        throw UsageError("extract takes an archive, a folder and optionally the names to extract");
    const std::string &archivePath = arguments.operands[0];
    const std::string &folderPath = arguments.operands[1];
    const std::vector<std::string> names(arguments.operands.begin() + 2, arguments.operands.end());
    ExtractionOptions options;
    options.overwrite = arguments.Has("--overwrite");

    ArchiveReader reader(archivePath);
    // A damaged archive is refused whole, with its problems, before anything is written; stored
    // bytes that do not match their checksum are damage too.
    if (reader.Readable())
        reader.CheckData();
    if (reader.DamageCount() != 0) {
        for (const std::string &line : DescribeDamage(reader))
            std::cerr << "morvane-cli: " << printable(line) << '\n';
    }
    std::vector<const ArchiveEntry *> selection;
    if (names.empty()) {
        selection = AllEntries(reader);
    } else {
        NamedEntries named = EntriesNamed(reader, names);
        if (!named.missing.empty()) {
            std::string missing;
            for (const std::string &name : named.missing)
                missing += (missing.empty() ? "" : ", ") + name;
            throw Error(archivePath + " holds no entry named " + missing + "; nothing was extracted");
        }
        selection = std::move(named.entries);
    }

    ExtractionReport report(reader);
    const ExtractionSummary summary = ExtractEntries(reader, folderPath, selection, options, report);
    report.Print();
    const std::size_t count = selection.size();
    std::cout << summary.written << " of " << count << (count == 1 ? " file" : " files") << " extracted to "
              << printable(folderPath) << '\n';
    if (summary.written != count)
        throw Error(std::to_string(count - summary.written) + " of " + std::to_string(count) + " entries of "
                    + archivePath + " were not extracted (see above)");
    return 0;
}

} // namespace morvane::cli

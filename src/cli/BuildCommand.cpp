#include "cli/Commands.h"

#include "archive/ArchiveCommands.h"
#include "archive/ArchiveReader.h"
#include "cli/BuildProgress.h"
#include "platform/Console.h"
#include "platform/PathQueries.h"
#include "platform/TerminalEncoding.h"
#include "text/Cp1252.h"
#include "text/PathRules.h"
#include "text/PrintableText.h"

#include <iostream>
#include <memory>

namespace morvane::cli {
namespace {

// Refuses, before anything is created, a response-file argument that cannot name a response file:
// the archive's name is made from it, and a build from it could only fail after creating one.
void checkResponseArgument(const std::string &responsePath)
{
    if (responsePath.empty())
        throw UsageError("the response file's name is empty");
    const std::string_view name = ExtractFileName(responsePath);
    if (name.empty() || name == "." || name == "..")
        throw UsageError("'" + responsePath + "' names a folder, not a response file");
    const PathKind kind = KindOfPath(responsePath);
    if (kind == PathKind::Folder)
        throw UsageError("'" + responsePath + "' is a folder, not a response file");
    // Missing, or a FIFO or device that the build would refuse only after emptying the archive.
    if (kind != PathKind::RegularFile)
        throw Error(CannotOpenFileMessage(responsePath));
}

// Shows the progress when asked to, and stops the build at an interrupt (Ctrl+C).
class CommandLineObserver : public BuildObserver
{
public:
    explicit CommandLineObserver(BuildProgress *progress)
        : progress_(progress)
    {
    }
    bool WantsTotal() const override { return progress_ && progress_->WantsTotal(); }
    void Planned(std::size_t count, std::uint64_t totalBytes) override
    {
        if (progress_)
            progress_->Planned(count, totalBytes);
    }
    void Progress(std::size_t sourcesDone, std::size_t count, std::int64_t archiveBytes) override
    {
        if (progress_)
            progress_->Progress(sourcesDone, count, archiveBytes);
    }
    bool CancelRequested() override { return InterruptRequested(); }

private:
    BuildProgress *progress_;
};

void warn(const std::string &text)
{
    std::cerr << "morvane-cli: warning: " << PrintableFileName(text, UserTerminalEncoding()) << '\n';
}

// Numbers that do not convert are found before anything is opened; a text Windows-1252 cannot
// hold is stored with '?' in place of what it lacks, as the window stores it, but not silently.
void checkHeaderOptions(const Arguments &arguments, const HeaderTexts &texts)
{
    TPODHeader converted;
    try {
        TextsToHeader(texts, converted);
    } catch (const Error &error) {
        throw UsageError(error.what());
    }
    WarnUnencodableTexts(arguments);
}

// The five header values of an existing archive, as the header edit shows them; for a layout
// without the POD3 header, the values it has (the others keep their defaults).
HeaderTexts headerTextsOf(const std::string &archivePath)
{
    const ArchiveReader reader(archivePath, ArchiveCheck::UntilUnreadable);
    const auto blocking = reader.BlockingKind();
    if (blocking == ArchiveProblem::Kind::BadSignature || blocking == ArchiveProblem::Kind::EmptyFile
        || blocking == ArchiveProblem::Kind::ShortHeader) {
        const std::vector<std::string> problems = reader.Problems();
        throw Error("--header-from: " + (problems.empty() ? archivePath : problems.front()));
    }
    const ArchiveHeader &header = reader.Header();
    if (header.layout == ArchiveLayout::POD3)
        return ReadArchiveHeader(archivePath);
    HeaderTexts texts;
    texts.description = header.description;
    texts.author = header.author;
    texts.copyright = header.copyright;
    if (header.version)
        texts.version = std::to_string(*header.version);
    if (header.priority)
        texts.priority = std::to_string(*header.priority);
    return texts;
}

} // namespace

int RunBuild(const std::vector<std::string> &args)
{
    std::set<std::string> valueOptions = kHeaderOptions;
    valueOptions.insert("-o");
    valueOptions.insert("--header-from");
    const Arguments arguments = ParseArguments(args, valueOptions, {"--quiet"});
    if (arguments.operands.size() != 1)
        throw UsageError("build takes exactly one response file");

    HeaderTexts texts;
    // Values taken from another archive; the options given beside it win.
    if (const auto from = arguments.Value("--header-from"))
        texts = headerTextsOf(*from);
    ApplyHeaderOptions(arguments, texts);
    checkHeaderOptions(arguments, texts);
    const std::string responsePath = arguments.operands.front();
    checkResponseArgument(responsePath);
    const std::string archivePath = arguments.Value("-o").value_or(ArchivePathFor(responsePath));
    if (archivePath.empty())
        throw UsageError("the archive's name given with -o is empty");
    std::unique_ptr<BuildProgress> progress;
    if (!arguments.Has("--quiet") && IsTerminal(StandardStream::Error))
        progress = std::make_unique<BuildProgress>(std::cerr, 0);
    CommandLineObserver observer(progress.get());
    DeferInterrupts();
    BuildSummary summary;
    try {
        summary = CreateArchive(responsePath, archivePath, texts, &observer);
    } catch (const BuildError &error) {
        if (progress)
            progress->Finish();
        const std::string message = error.Leftover().empty()
            ? std::string(error.what())
            : std::string(error.what()) + "; " + error.Leftover();
        if (!error.Cancelled())
            throw Error(message);
        std::cerr << "morvane-cli: " << PrintableFileName(message, UserTerminalEncoding()) << '\n';
        return kInterruptedStatus;
    }
    if (progress)
        progress->Finish();
    for (const std::string &warning : summary.warnings)
        warn(warning);
    return 0;
}

} // namespace morvane::cli

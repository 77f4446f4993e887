// Opens a million-entry archive in the archive window offscreen and reports how long the window
// takes to be usable once the reader has read the archive, what the window adds to the reader's
// memory per entry, and how long the filter takes to answer; then extracts a 20,000-file archive
// through the window's extraction task (on its own thread, as the window runs it) and through
// morvane-cli, and reports both times and their ratio. Prints a Markdown table.
//
//   archive-window-bench MORVANE_CLI [ENTRIES]

#include "app/ArchiveEntryModel.h"
#include "app/ArchiveJob.h"
#include "app/ArchiveTasks.h"
#include "app/ArchiveWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QDir>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

void putLE32(std::string &bytes, std::size_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + std::size_t(i)] = char(value >> (8 * i));
}

// A POD3 archive of count entries in folders of perFolder, each of the given data size pattern.
void writeArchive(const std::string &path, std::uint32_t count, std::uint32_t perFolder,
                  std::uint32_t (*sizeOf)(std::uint32_t))
{
    std::string header(288, '\0');
    header.replace(0, 4, "POD3");
    std::ofstream out(path, std::ios::binary);
    out.write(header.data(), std::streamsize(header.size()));
    std::uint64_t offset = 288;
    std::vector<std::uint32_t> sizes(count);
    std::string chunk;
    for (std::uint32_t i = 0; i < count; ++i) {
        sizes[i] = sizeOf(i);
        chunk.assign(sizes[i], char('a' + i % 26));
        out.write(chunk.data(), std::streamsize(chunk.size()));
    }
    const std::uint64_t directory = 288 + [&] {
        std::uint64_t total = 0;
        for (const std::uint32_t size : sizes)
            total += size;
        return total;
    }();
    std::string names;
    std::string record(20, '\0');
    char name[64];
    std::uint32_t nameOffset = 0;
    std::string records;
    records.reserve(std::size_t(count) * 20);
    for (std::uint32_t i = 0; i < count; ++i) {
        const int length = std::snprintf(name, sizeof name, "DATA\\F%05u\\FILE%07u.BIN", i / perFolder, i);
        putLE32(record, 0, nameOffset);
        putLE32(record, 4, sizes[i]);
        putLE32(record, 8, std::uint32_t(offset));
        putLE32(record, 12, 0x102A5543u + ((46u << 25) | (1u << 21) | (1u << 16)));
        records += record;
        names.append(name, std::size_t(length));
        names += '\0';
        nameOffset += std::uint32_t(length) + 1;
        offset += sizes[i];
    }
    out.write(records.data(), std::streamsize(records.size()));
    out.write(names.data(), std::streamsize(names.size()));
    out.seekp(88);
    std::string count4(4, '\0');
    putLE32(count4, 0, count);
    out.write(count4.data(), 4);
    out.seekp(264);
    std::string tail(20, '\0');
    putLE32(tail, 0, std::uint32_t(directory));
    putLE32(tail, 8, nameOffset);
    putLE32(tail, 16, 0xFFFFFFFFu);
    out.write(tail.data(), 20);
}

long residentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::cerr << "usage: archive-window-bench MORVANE_CLI [ENTRIES]\n";
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QString cli = QString::fromLocal8Bit(argv[1]);
    const std::uint32_t entries = argc > 2 ? std::uint32_t(std::stoul(argv[2])) : 1000000u;
    QTemporaryDir work;
    const std::string big = work.path().toStdString() + "/million.POD";
    writeArchive(big, entries, 1000, [](std::uint32_t) { return std::uint32_t(1); });

    QElapsedTimer timer;
    timer.start();
    const long beforeReader = residentKiB();
    auto reader = std::make_unique<morvane::ArchiveReader>(big);
    const double readMs = double(timer.nsecsElapsed()) / 1e6;
    const long afterReader = residentKiB();

    timer.restart();
    auto *window = new morvane::ArchiveWindow(std::move(reader), nullptr);
    window->show();
    // Usable: shown, exposed and its first rows laid out and painted.
    while (window->windowHandle() == nullptr || !window->windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    window->repaint();
    QCoreApplication::processEvents();
    const double usableMs = double(timer.nsecsElapsed()) / 1e6;
    const long afterWindow = residentKiB();

    // Each filter as typed: the window waits for the typing to pause, then filters.
    struct FilterRun
    {
        const char *text;
        double ms;
    };
    std::vector<FilterRun> filters = {{"file0999999", 0}, {"*.bin", 0}, {"f00017\\*", 0}, {"", 0}};
    auto *edit = window->findChild<QLineEdit *>("edFilter");
    for (FilterRun &run : filters) {
        std::vector<double> times;
        for (int i = 0; i < 5; ++i) {
            edit->setText(QStringLiteral("x"));
            window->Model().SetFilter(QStringLiteral("x"));
            timer.restart();
            window->Model().SetFilter(QString::fromLatin1(run.text));
            QCoreApplication::processEvents();
            times.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
        run.ms = median(times);
    }
    window->Model().SetFilter({});
    timer.restart();
    window->Model().sort(morvane::ArchiveEntryModel::NameColumn, Qt::AscendingOrder);
    QCoreApplication::processEvents();
    const double sortMs = double(timer.nsecsElapsed()) / 1e6;
    delete window;

    // Extraction: the window's task on its job thread against morvane-cli, taking turns.
    const std::string tree = work.path().toStdString() + "/tree.POD";
    writeArchive(tree, 20000, 200, [](std::uint32_t i) { return 1024u + (i * 2654435761u) % 3072u; });
    const morvane::ArchiveReader treeReader(tree);
    const morvane::OpenedArchive opened {tree, morvane::EntriesFingerprint(treeReader)};
    std::vector<std::uint32_t> all(20000);
    for (std::uint32_t i = 0; i < all.size(); ++i)
        all[i] = i;
    std::vector<double> windowTimes;
    std::vector<double> cliTimes;
    for (int run = 0; run < 6; ++run) {
        const QString target = work.path() + QStringLiteral("/x%1").arg(run);
        timer.restart();
        if (run % 2 == 0) {
            morvane::ArchiveJob job;
            QEventLoop loop;
            QObject::connect(&job, &morvane::ArchiveJob::finished, &loop, &QEventLoop::quit);
            morvane::ExtractionResult result;
            job.Start([&](morvane::ArchiveJob &self) { result = morvane::RunExtraction(opened, all, target.toStdString(), &self); });
            loop.exec();
            job.Wait();
            if (result.summary.written != all.size()) {
                std::cerr << "window extraction wrote " << result.summary.written << " files\n";
                return 1;
            }
            windowTimes.push_back(double(timer.nsecsElapsed()) / 1e6);
        } else {
            QProcess process;
            process.setStandardOutputFile(QProcess::nullDevice());
            process.start(cli, {QStringLiteral("extract"), QString::fromStdString(tree), target});
            if (!process.waitForFinished(-1) || process.exitCode() != 0) {
                std::cerr << "morvane-cli extract failed\n";
                return 1;
            }
            cliTimes.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
        QDir(target).removeRecursively();
    }

    const double extraPerEntry = double(afterWindow - afterReader) * 1024.0 / entries;
    std::printf("| archive window, %u entries | figure |\n|---|---|\n", entries);
    std::printf("| reader opens the archive | %.0f ms (%.0f MiB resident) |\n", readMs,
                double(afterReader - beforeReader) / 1024.0);
    std::printf("| window usable after the reader | %.0f ms (goal 1,500) |\n", usableMs);
    std::printf("| window's memory beyond the reader | %.0f bytes per entry (goal 100) |\n", extraPerEntry);
    for (const FilterRun &run : filters)
        std::printf("| filter `%s` answers | %.0f ms after the pause of %d ms (goal: both within 200) |\n",
                    run.text[0] ? run.text : "(cleared)", run.ms, morvane::ArchiveWindow::kFilterDelayMs);
    std::printf("| sort by name | %.0f ms |\n", sortMs);
    std::printf("| extract 20,000 files: window %.0f ms, morvane-cli %.0f ms | ratio %.2f (goal 1.10) |\n",
                median(windowTimes), median(cliTimes), median(windowTimes) / median(cliTimes));
    return 0;
}

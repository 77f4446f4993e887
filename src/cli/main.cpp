#include "cli/Commands.h"
#include "platform/Console.h"
#include "platform/Errors.h"
#include "platform/TerminalEncoding.h"
#include "text/PrintableText.h"

#include <cstdio>
#include <functional>
#include <iostream>
#include <map>

namespace {

constexpr const char *kUsage = R"(Usage: morvane-cli COMMAND [ARGUMENTS]

Builds POD3 archives from response files, shows or edits their headers, and
lists, checks and extracts what they hold.

Commands:
  morvane-cli build RESPONSE_FILE [-o ARCHIVE] [--header-from ARCHIVE]
        [--description TEXT] [--version N] [--priority N] [--author TEXT]
        [--copyright TEXT] [--quiet]
      Build an archive holding every file the response file lists, resolved
      against the response file's folder. The archive is ARCHIVE, or else the
      response file's path with its extension replaced by ".POD". Values not
      given: those of the archive named by --header-from, else description
      "Description du fichier", version 1000, priority 1000, author and
      copyright empty. A version or priority that is not a number
      is a usage error, found before anything is written. When standard error
      is a terminal, the files and bytes copied so far are shown there;
      --quiet hides them. The archive is written to a new file in the same
      folder and replaces the previous archive only once complete: a build that
      fails, or that Ctrl+C stops (exit status 130), leaves the previous archive
      as it was and no new file. A failure names the response file's line and
      the cause. Lines naming one file in different letter case, and texts
      Windows-1252 cannot hold, are warned about on standard error.
  morvane-cli header ARCHIVE [--description TEXT] [--version N] [--priority N]
        [--author TEXT] [--copyright TEXT]
      Without options, print the archive's five header values. With options,
      rewrite those values in place, keeping the others.
  morvane-cli list ARCHIVE [-l] [-v] [-o RESPONSE_FILE]
      Print the stored names, one a line, in directory order. With -l, also
      each entry's size, data offset and timestamp (local date and time, or
      "unknown"). With -v, also its stored checksum and whether its data
      matches it (which reads all the data). With -o, write the names as a
      response file instead: the stored bytes (Windows-1252), in directory
      order, each line ending in CR LF; extracting the archive into a folder,
      writing this list there and building it gives the same entries back.
  morvane-cli verify ARCHIVE [--strict] [-v]
      Check the archive: signature, regions, directory, names, records and
      every checksum stored. Damage (exit status 1) is printed, then notes on
      what another writer laid out otherwise, then "OK" and the number of
      entries, or the number of problems. --strict also fails on everything
      this program would have written otherwise. -v adds what each checksum
      was found to be.
  morvane-cli extract ARCHIVE FOLDER [NAME...] [--overwrite]
      Refuse a damaged archive, writing nothing. Otherwise write
      every entry, or only the named ones, below FOLDER (created when
      missing), turning the stored backslashes into folders and the stored
      Windows-1252 names into UTF-8. Names that are
      empty, absolute, hold a drive or a ".." part are refused. Existing files
      are kept unless --overwrite is given. Files get their stored times.
  morvane-cli mklist FOLDER [-o RESPONSE_FILE]
      List every file below FOLDER as a response file: one path a line,
      relative to FOLDER, with backslashes, each line ending in CR LF. Hidden
      files are listed; hidden sub-folders are not searched. Without -o the
      list goes to standard output. RESPONSE_FILE and the archive that would
      be built from it are left out of the list. Names are written in
      Windows-1252. Entries a build could not open (not a regular file, a
      name with a line break, carriage return, backslash or a character
      Windows-1252 lacks, a path too long) are left out and named on standard
      error with every folder that could not be read; the exit status is 1.

Numbers are decimal (optional sign) or hexadecimal after $, x or 0x.
Texts are stored in Windows-1252, at most 80 bytes each.

Exit status: 0 on success, 1 on a failure, 2 on a usage error, 130 for a build
stopped by Ctrl+C.
)";

} // namespace

int main(int argc, char **argv)
{
    using Command = std::function<int(const std::vector<std::string> &)>;
    const std::map<std::string, Command> commands = {
        {"build", morvane::cli::RunBuild},     {"header", morvane::cli::RunHeader},
        {"list", morvane::cli::RunList},       {"verify", morvane::cli::RunVerify},
        {"extract", morvane::cli::RunExtract}, {"mklist", morvane::cli::RunMklist},
    };
    morvane::UseBinaryStandardStreams();
    morvane::ShowTextOnConsoles();
    const std::vector<std::string> all = morvane::CommandLineArguments(argc, argv);
    const std::vector<std::string> args(all.empty() ? all.end() : all.begin() + 1, all.end());
    if (!args.empty() && (args.front() == "--help" || args.front() == "-h" || args.front() == "help")) {
        std::cout << kUsage;
        return 0;
    }
    try {
        const auto command = args.empty() ? commands.end() : commands.find(args.front());
        if (command == commands.end())
            throw morvane::cli::UsageError(args.empty() ? "no command given"
                                                        : "unknown command " + args.front());
        return command->second(std::vector<std::string>(args.begin() + 1, args.end()));
    } catch (const morvane::cli::UsageError &error) {
        std::cerr << "morvane-cli: "
                  << morvane::PrintableFileName(error.what(), morvane::UserTerminalEncoding())
                  << "\nTry 'morvane-cli --help'.\n";
        return 2;
    } catch (const std::exception &error) {
        // Messages quote paths and names as given; none may reach the terminal raw.
        std::cerr << "morvane-cli: "
                  << morvane::PrintableFileName(error.what(), morvane::UserTerminalEncoding()) << '\n';
        return 1;
    }
}

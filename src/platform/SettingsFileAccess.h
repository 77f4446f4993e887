#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace morvane {

// The settings file itself, opened by IniFile: a symbolic link (or other reparse point) at its
// name is not followed, and anything but a regular file is refused without waiting on it.
// Having it open never keeps another program from reading or writing the file; where a file
// held open cannot be renamed over (Windows), it does keep the file from being replaced.
class SettingsFileAccess
{
public:
    enum class Opened {
        File, // the regular file at the name is open
        Missing, // nothing is at the name
        Link, // a link is at the name; a write replaces it and leaves its target alone
        Busy, // another program has the file open in a way that shuts us out for now
        Failed, // something else is there, or the file cannot be opened
    };
    enum class Lock {
        Taken,
        Busy, // another writer has its turn; try again later
        Failed,
    };

    SettingsFileAccess(const std::string &path, bool forWriting);
    ~SettingsFileAccess();
    SettingsFileAccess(const SettingsFileAccess &) = delete;
    SettingsFileAccess &operator=(const SettingsFileAccess &) = delete;

    Opened State() const { return state_; }

    // Takes this writer's turn at the settings file without waiting; the turn lasts until
    // destruction. Writers of the same file, in this program or another, take turns; readers
    // are never held up by a turn. A turn belongs to the thread that took it.
    Lock TryLockExclusive();
    // Whether the open file is still the one at path (it may have been replaced meanwhile).
    bool IsStillAt(const std::string &path) const;
    // The whole contents, from the start.
    std::optional<std::string> ReadAll() const;
    // Lets go of the file where a file held open cannot be replaced, keeping the turn; where it
    // can, the file stays open. ReadAll is not to be called afterwards.
    void LetGoForReplace();
    // Writes text over the file's contents, cuts it there and flushes it to the disk (opening the
    // file at its name again if it was let go).
    bool RewriteInPlace(std::string_view text);

    // Whether a replace of the file can be refused for a moment because another program has the
    // file open; such a refusal is worth trying again a little later.
    static bool ReplaceCanMeetOpenFile();
    // Whether a regular file (not a link) is at path.
    static bool RegularFileExists(const std::string &path);

private:
    struct Handle;
    std::unique_ptr<Handle> handle_;
    Opened state_ = Opened::Failed;
};

} // namespace morvane

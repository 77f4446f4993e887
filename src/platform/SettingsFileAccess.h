#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace morvane {

// The settings file itself, opened by IniFile: a symbolic link (or other reparse point) at its
// name is not followed, and anything but a regular file is refused without waiting on it.
class SettingsFileAccess
{
public:
    enum class Opened {
        File,    // the regular file at the name is open
        Missing, // nothing is at the name
        Link,    // a link is at the name; a write replaces it and leaves its target alone
        Failed,  // something else is there, or the file cannot be opened
    };
    enum class Lock {
        Taken,
        Busy, // another program holds it; try again later
        Failed,
    };

    SettingsFileAccess(const std::string &path, bool forWriting);
    ~SettingsFileAccess();
    SettingsFileAccess(const SettingsFileAccess &) = delete;
    SettingsFileAccess &operator=(const SettingsFileAccess &) = delete;

    Opened State() const { return state_; }

    // Takes the exclusive lock on the whole file without waiting; it lasts until destruction.
    Lock TryLockExclusive();
    // Whether the open file is still the one at path (it may have been replaced meanwhile).
    bool IsStillAt(const std::string &path) const;
    // The whole contents, from the start.
    std::optional<std::string> ReadAll() const;
    // Writes text over the file's contents, cuts it there and flushes it to the disk.
    bool RewriteInPlace(std::string_view text);

    // Whether a regular file (not a link) is at path.
    static bool RegularFileExists(const std::string &path);

private:
    struct Handle;
    std::unique_ptr<Handle> handle_;
    Opened state_ = Opened::Failed;
};

} // namespace morvane

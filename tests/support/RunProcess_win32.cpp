#include "RunProcess.h"

#include "TestFiles.h"
#include "WideText_win32.h"

#include <windows.h>

#include <cstdio>
#include <stdexcept>
#include <string>

namespace morvane::test {
namespace {

// One argument quoted as CommandLineToArgvW reads it back: backslashes count only before a quote.
std::wstring quoted(const std::wstring &argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return argument;
    std::wstring result = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        result.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        result += c;
    }
    result.append(backslashes * 2, L'\\');
    return result + L'"';
}

class Handle
{
public:
    explicit Handle(HANDLE handle)
        : handle_(handle)
    {
    }
    ~Handle()
    {
        if (handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr)
            ::CloseHandle(handle_);
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

HANDLE inheritable(const std::wstring &path, DWORD access, DWORD disposition)
{
    SECURITY_ATTRIBUTES security {sizeof security, nullptr, TRUE};
    const HANDLE handle = ::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &security,
                                        disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot open a standard stream of the child");
    return handle;
}

// Under scripts/wine-test-launcher.sh, Wine has now and then refused to create a process at all.
// There, and only there, MORVANE_WINE_RETRY_LOG names the log of such events, which the test
// command counts: a refused start is noted in it and tried once more.
bool NoteRefusedStart(const std::string &program, DWORD error)
{
    const wchar_t *log = ::_wgetenv(L"MORVANE_WINE_RETRY_LOG");
    if (log == nullptr)
        return false;
    std::FILE *file = ::_wfopen(log, L"ab");
    if (file == nullptr)
        return false;
    std::fprintf(file, "%s: process not created (error %lu)\n", program.c_str(),
                 static_cast<unsigned long>(error));
    std::fclose(file);
    return true;
}

} // namespace

ProcessResult RunProcess(const std::string &program, const std::vector<std::string> &args)
{
    TempDir capture;
    const std::string outPath = capture / "out", errPath = capture / "err";
    std::wstring commandLine = quoted(WideFromUtf8(program));
    for (const std::string &arg : args)
        commandLine += L' ' + quoted(WideFromUtf8(arg));

    DWORD code = 0;
    {
        const Handle input(inheritable(L"NUL", GENERIC_READ, OPEN_EXISTING));
        const Handle output(inheritable(WideFromUtf8(outPath), GENERIC_WRITE, CREATE_ALWAYS));
        const Handle error(inheritable(WideFromUtf8(errPath), GENERIC_WRITE, CREATE_ALWAYS));
        STARTUPINFOW startup {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = input.get();
        startup.hStdOutput = output.get();
        startup.hStdError = error.get();
        PROCESS_INFORMATION process {};
        for (int attempt = 1;; ++attempt) {
            if (::CreateProcessW(WideFromUtf8(program).c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                 nullptr, nullptr, &startup, &process))
                break;
            const DWORD error = ::GetLastError();
            if (attempt == 2 || !NoteRefusedStart(program, error))
                throw std::runtime_error("cannot start " + program + " (error " + std::to_string(error)
                                         + ")");
        }
        const Handle thread(process.hThread);
        const Handle child(process.hProcess);
        ::WaitForSingleObject(child.get(), INFINITE);
        ::GetExitCodeProcess(child.get(), &code);
    }
    // Read once the handles given to the child are closed.
    ProcessResult result;
    result.exitCode = static_cast<int>(code);
    result.out = ReadFile(outPath);
    result.err = ReadFile(errPath);
    return result;
}

} // namespace morvane::test

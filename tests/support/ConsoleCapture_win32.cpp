// console-capture OUTPUT PROGRAM [ARGUMENT...]
//
// Runs the program in a console of its own, as a user's console window runs it, and writes what
// the console then shows, line by line in UTF-8, to OUTPUT; exits with the program's status. It
// shows what a program writes to a console window, which a pipe or a file cannot show. Needs a
// console Windows (or Wine on a display) can make.
#include "WideText_win32.h"

#include <windows.h>

#include <shellapi.h>

#include <fstream>
#include <string>

namespace {

std::wstring quoted(const std::wstring &argument)
{
    return L"\"" + argument + L"\"";
}

} // namespace

int main()
{
    int count = 0;
    wchar_t **arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (arguments == nullptr || count < 3)
        return 2;
    std::wstring commandLine = quoted(arguments[2]);
    for (int i = 3; i < count; ++i)
        commandLine += L" " + quoted(arguments[i]);

    ::FreeConsole();
    if (!::AllocConsole())
        return 3;
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process {};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
        return 4;
    DWORD status = 5;
    if (::WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(process.hProcess, &status);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);

    const HANDLE console
        = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, 0, nullptr);
    CONSOLE_SCREEN_BUFFER_INFO screen {};
    if (console == INVALID_HANDLE_VALUE || !::GetConsoleScreenBufferInfo(console, &screen))
        return 6;
    std::ofstream output(arguments[1], std::ios::binary);
    for (SHORT row = 0; row <= screen.dwCursorPosition.Y; ++row) {
        std::wstring line(static_cast<std::size_t>(screen.dwSize.X), L' ');
        DWORD read = 0;
        ::ReadConsoleOutputCharacterW(console, line.data(), static_cast<DWORD>(line.size()), COORD {0, row},
                                      &read);
        line.resize(read);
        while (!line.empty() && line.back() == L' ')
            line.pop_back();
        output << morvane::Utf8FromWide(line) << '\n';
    }
    ::LocalFree(arguments);
    return output ? static_cast<int>(status) : 7;
}

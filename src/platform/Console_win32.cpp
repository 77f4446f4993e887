#include "platform/Console.h"

#include "WideText_win32.h"
#include "text/ConsoleText.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <iostream>
#include <streambuf>

namespace morvane {
namespace {

HANDLE standardHandle(StandardStream stream)
{
    return ::GetStdHandle(stream == StandardStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

// A stream buffer that shows what is written to it on a console, in UTF-16.
class ConsoleBuffer : public std::streambuf
{
public:
    explicit ConsoleBuffer(HANDLE console)
        : console_(console)
    {
        setp(buffer_, buffer_ + sizeof buffer_);
    }

protected:
    int_type overflow(int_type c) override
    {
        if (!show())
            return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    int sync() override { return show() ? 0 : -1; }

private:
    bool show()
    {
        const std::u16string text
            = text_.Take(std::string_view(pbase(), static_cast<std::size_t>(pptr() - pbase())));
        setp(buffer_, buffer_ + sizeof buffer_);
        for (std::size_t done = 0; done < text.size();) {
            const auto part = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 8192));
            DWORD written = 0;
            if (!::WriteConsoleW(console_, reinterpret_cast<const wchar_t *>(text.data() + done), part,
                                 &written, nullptr)
                || written == 0)
                return false;
            done += written;
        }
        return true;
    }

    HANDLE console_;
    ConsoleText text_;
    char buffer_[4096];
};

std::atomic<bool> interrupted {false};

// Runs on a thread of its own. Ctrl+C and Ctrl+Break are only recorded; closing the console,
// logging off and shutting down end the program as before, since it cannot stay.
BOOL WINAPI recordInterrupt(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    interrupted = true;
    return TRUE;
}

} // namespace

void DeferInterrupts()
{
    ::SetConsoleCtrlHandler(recordInterrupt, TRUE);
}

bool InterruptRequested()
{
    return interrupted;
}

std::vector<std::string> CommandLineArguments(int argc, char **argv)
{
    int count = 0;
    wchar_t **wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr)
        return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i)
        arguments.push_back(Utf8FromWide(wide[i]));
    ::LocalFree(wide);
    return arguments;
}

void UseBinaryStandardStreams()
{
    for (FILE *stream : {stdin, stdout, stderr})
        ::_setmode(::_fileno(stream), _O_BINARY);
}

void ShowTextOnConsoles()
{
    // The buffers live as long as the program: the streams are flushed after main returns.
    if (IsTerminal(StandardStream::Output))
        std::cout.rdbuf(new ConsoleBuffer(standardHandle(StandardStream::Output)));
    if (IsTerminal(StandardStream::Error))
        std::cerr.rdbuf(new ConsoleBuffer(standardHandle(StandardStream::Error)));
}

bool IsTerminal(StandardStream stream)
{
    const HANDLE handle = standardHandle(stream);
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode);
}

} // namespace morvane

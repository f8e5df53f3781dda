// run_wide [--console] "COMMAND LINE": starts the command line, in which
// \uXXXX stands for any UTF-16 code unit (an unpaired surrogate too), and
// ends with its exit status. Windows' own command line can carry what a
// shell cannot pass to Wine. The command gets this program's standard
// streams; with --console its output and errors go to a console of its own
// instead, and what that console holds afterwards comes out here in UTF-8:
// each line up to the cursor, without the blanks that fill it, with an LF
// after each but the cursor's. The console's contents, never how Wine draws
// them on a terminal.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace
{

// Runs `line` with `out` and `err` as its standard output and error; returns
// its exit status, or 2 if it could not start.
DWORD run(std::wstring line, HANDLE out, HANDLE err, DWORD flags)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                       &startup, &process) == 0) {
        (void)std::fprintf(stderr, "run_wide: cannot start the command (error %lu)\n",
                           GetLastError());
        return 2;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 2;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return status;
}

// Runs `line` on this process's console, which must have no window: Wine
// can draw none without a display. Then writes what the console holds.
DWORD run_on_console(const std::wstring &line)
{
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE console =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherited, OPEN_EXISTING, 0, nullptr);
    SetConsoleScreenBufferSize(console, {400, 100}); // no line wraps
    const DWORD status = run(line, console, console, 0);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    GetConsoleScreenBufferInfo(console, &info);
    std::wstring text;
    for (SHORT y = 0; y <= info.dwCursorPosition.Y; ++y) {
        std::wstring row(static_cast<std::size_t>(info.dwSize.X), L' ');
        DWORD read = 0;
        ReadConsoleOutputCharacterW(console, row.data(), static_cast<DWORD>(row.size()), {0, y},
                                    &read);
        if (y == info.dwCursorPosition.Y)
            row.resize(static_cast<std::size_t>(info.dwCursorPosition.X));
        else
            row.erase(row.find_last_not_of(L' ') + 1) += L'\n';
        text += row;
    }
    std::string bytes(text.size() * 3, '\0');
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                            static_cast<int>(bytes.size()), nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(length), &written,
              nullptr);
    return status;
}

} // namespace

int wmain(int argc, wchar_t *argv[])
{
    // With --console this program runs again, as `"run_wide" --inside LINE`,
    // on a console of its own without a window; LINE is all that follows.
    const wchar_t *inside = std::wcsstr(GetCommandLineW(), L" --inside ");
    const bool console = argc == 3 && std::wcscmp(argv[1], L"--console") == 0;
    if (inside == nullptr && argc != 2 && !console) {
        (void)std::fprintf(stderr, "usage: run_wide [--console] \"COMMAND LINE\"\n");
        return 2;
    }
    std::wstring line;
    for (const wchar_t *c = inside != nullptr ? inside + 10 : argv[argc - 1]; *c != L'\0'; ++c) {
        if (c[0] == L'\\' && c[1] == L'u') {
            const std::wstring hex(c + 2, 4);
            line += static_cast<wchar_t>(std::wcstoul(hex.c_str(), nullptr, 16));
            c += 5;
        } else {
            line += *c;
        }
    }
    if (inside != nullptr)
        return static_cast<int>(run_on_console(line));
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (!console)
        return static_cast<int>(run(line, out, err, 0));
    std::wstring self(MAX_PATH, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), MAX_PATH));
    return static_cast<int>(
        run(L'"' + self + L"\" --inside " + argv[2], out, err, CREATE_NO_WINDOW));
}

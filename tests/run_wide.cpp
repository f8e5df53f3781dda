// run_wide "COMMAND LINE": starts the command line, in which \uXXXX stands
// for any UTF-16 code unit (an unpaired surrogate too), with this program's
// standard streams, and ends with its exit status. Windows' own command line
// can carry what a shell cannot pass to Wine.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char *argv[])
{
    if (argc != 2) {
        (void)std::fprintf(stderr, "usage: run_wide \"COMMAND LINE\"\n");
        return 2;
    }
    std::wstring line;
    for (const char *c = argv[1]; *c != '\0'; ++c) {
        if (c[0] == '\\' && c[1] == 'u') {
            const std::string hex(c + 2, 4);
            line += static_cast<wchar_t>(std::strtoul(hex.c_str(), nullptr, 16));
            c += 5;
        } else {
            line += static_cast<wchar_t>(static_cast<unsigned char>(*c));
        }
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &process) == 0) {
        (void)std::fprintf(stderr, "run_wide: cannot start the command (error %lu)\n",
                           GetLastError());
        return 2;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 2;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return static_cast<int>(status);
}

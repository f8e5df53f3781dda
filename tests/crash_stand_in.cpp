// A strrepl.exe that writes part of a result, then ends as Windows ends a
// program that crashed (0xC0000005): the batch helper's table runs it.
#include <windows.h>

int main()
{
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "partial", 7, &written, nullptr);
    ExitProcess(0xC0000005U);
}

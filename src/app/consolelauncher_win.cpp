// kappwerk.com: the command line's door on Windows. kappwerk.exe is a windowed program, so a
// console does not wait for it: the prompt came back at once, the exit status was lost, and the
// program's UTF-8 lines showed in the console's old code page. Typed as "kappwerk", this small
// console program comes first (.COM before .EXE), starts kappwerk.exe beside it with the same
// arguments and the same standard handles, shows UTF-8 meanwhile, waits, and ends with its status.
// Where the program opens its window instead, it says so (KAPPWERK_LAUNCHER names an event), and
// this program ends at once, as a console does for any windowed program.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

HANDLE interrupted = nullptr;

// Ctrl+C reaches kappwerk.exe too (it joins the console): it removes a half-written copy and
// ends, and this program waits for that instead of ending first.
BOOL WINAPI keepWaiting(DWORD)
{
    SetEvent(interrupted);
    return TRUE;
}

// The command line after the program's own name, as Windows parses it.
const wchar_t *argumentsOf(const wchar_t *line)
{
    bool quoted = false;
    for (; *line && (quoted || (*line != L' ' && *line != L'\t')); ++line) {
        if (*line == L'"')
            quoted = !quoted;
    }
    return line;
}

} // namespace

int main()
{
    std::wstring program(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, program.data(), DWORD(program.size()));
    if (length == 0 || length >= program.size() || length < 4)
        return 2;
    program.resize(length - 4);
    program += L".exe";
    std::wstring line = L"\"" + program + L"\"" + argumentsOf(GetCommandLineW());

    STARTUPINFOW start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    start.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    start.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    const UINT codePage = GetConsoleOutputCP();
    if (codePage != 0)
        SetConsoleOutputCP(CP_UTF8);
    interrupted = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    const HANDLE windowOpens = CreateEventW(&inherited, TRUE, FALSE, nullptr);
    SetEnvironmentVariableW(L"KAPPWERK_LAUNCHER",
                            std::to_wstring(static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(windowOpens))).c_str());
    SetConsoleCtrlHandler(keepWaiting, TRUE);
    PROCESS_INFORMATION started = {};
    DWORD status = 2;
    if (CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &started)) {
        // After Ctrl+C the command line has five seconds to end by itself; then it is ended, as
        // a kill would (its journal knows what it did).
        const HANDLE waits[] = {started.hProcess, windowOpens, interrupted};
        const DWORD woken = WaitForMultipleObjects(3, waits, FALSE, INFINITE);
        if (woken == WAIT_OBJECT_0 + 1)
            status = 0;
        else if (woken == WAIT_OBJECT_0 + 2 && WaitForSingleObject(started.hProcess, 5000) == WAIT_TIMEOUT)
            TerminateProcess(started.hProcess, 130);
        if (woken != WAIT_OBJECT_0 + 1) {
            WaitForSingleObject(started.hProcess, INFINITE);
            GetExitCodeProcess(started.hProcess, &status);
        }
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
    } else {
        std::fprintf(stderr, "kappwerk: kappwerk.exe kann nicht gestartet werden (Fehler %lu).\n", GetLastError());
    }
    if (codePage != 0)
        SetConsoleOutputCP(codePage);
    return int(status);
}

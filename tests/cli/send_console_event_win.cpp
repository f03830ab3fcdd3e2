// send-console-event NAME EVENT: sends a console's control event (2: the console window closing) to
// the program NAME, as Windows sends it: a thread of that program, started at the system's
// CtrlRoutine, which calls the program's handlers. The end-to-end scenarios close a console this
// way, since Wine closes a console window without sending the event. Of several programs of that
// name (update --all and its units), the one whose parent is not of that name.
#include <windows.h>

#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>
#include <map>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fwprintf(stderr, L"usage: send-console-event NAME EVENT\n");
        return 2;
    }
    const DWORD event = std::wcstoul(argv[2], nullptr, 10);
    std::map<DWORD, DWORD> named;  // each process of the name, with its parent
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, argv[1]) == 0) {
            named[entry.th32ProcessID] = entry.th32ParentProcessID;
        }
    }
    CloseHandle(snapshot);
    DWORD target = 0;
    for (const auto& [process, parent] : named) {
        if (named.count(parent) == 0) {
            target = process;
        }
    }
    HMODULE system = GetModuleHandleW(L"kernelbase.dll");
    FARPROC routine = system != nullptr ? GetProcAddress(system, "CtrlRoutine") : nullptr;
    if (routine == nullptr) {
        routine = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "CtrlRoutine");
    }
    const HANDLE process = target != 0 ? OpenProcess(PROCESS_ALL_ACCESS, FALSE, target) : nullptr;
    const HANDLE thread =
        process != nullptr && routine != nullptr
            ? CreateRemoteThread(
                  process, nullptr, 0,
                  reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void*>(routine)),
                  reinterpret_cast<void*>(static_cast<ULONG_PTR>(event)), 0, nullptr)
            : nullptr;
    std::wprintf(L"%ls %lu: %ls\n", argv[1], target, thread != nullptr ? L"sent" : L"not sent");
    if (thread != nullptr) {
        CloseHandle(thread);
    }
    if (process != nullptr) {
        CloseHandle(process);
    }
    return thread != nullptr ? 0 : 1;
}

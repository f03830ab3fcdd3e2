// The program's entry: the main window, its start-up lines and the message loop.
#include <windows.h>

#include "app/app_texts.h"
#include "app/main_window_win.h"
#include "app/operator_services_win.h"
#include "app/resource_ids.h"
#include "seam/operator_services.h"
#include "update/exit_code.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showMode) {
    using namespace quorvanex;
    static WindowsOperatorServices services;
    InstallOperatorServices(&services);

    wchar_t title[100] = L"";
    LoadStringW(instance, IDS_APP_TITLE, title, 100);
    RegisterMainWindowClass(instance);
    KeepProgramInstance(instance);

    wchar_t className[100] = L"";
    LoadStringW(instance, IDC_MAIN, className, 100);
    HWND window = CreateWindowExW(0, className, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 300, 200, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return 0;
    }
    KeepMainWindowHandle(window);
    ShowWindow(window, showMode);
    UpdateWindow(window);

    HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDC_MAIN));

    for (const StatusText& line : kStartUpLines) {
        ShowStatusText(line);
    }

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!TranslateAcceleratorW(message.hwnd, accelerators, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    // After a fatal stop its exit code, 1, whichever way out comes first.
    return ProgramExitCode(static_cast<int>(message.wParam));
}

#include "app/main_window_win.h"

#include "app/app_texts.h"
#include "app/resource_ids.h"
#include "update/device_change.h"
#include "update/update_worker.h"

namespace quorvanex {
namespace {

HWND mainWindow = nullptr;
HINSTANCE programInstance = nullptr;

// The class name from the string table, loaded at start-up.
wchar_t windowClassName[100] = L"";

DWORD WINAPI UpdateThreadStart(LPVOID startParameter) {
    return UpdateWorker(startParameter);
}

bool StartWorkerThread() {
    // The window neither waits for the worker nor keeps its handle.
    HANDLE thread = CreateThread(nullptr, 0, &UpdateThreadStart, nullptr, 0, nullptr);
    if (thread == nullptr) {
        return false;
    }
    CloseHandle(thread);
    return true;
}

// Closing while the device is being changed would leave the flash partly written: ask first, No
// the default. Any other time, also while the worker only shows a box, the window closes at once.
bool CloseConfirmed(HWND window) {
    if (!DeviceBeingChanged()) {
        return true;
    }
    return MessageBoxW(window, kCloseWhileChangingQuestion.format,
                       kCloseWhileChangingCaption.format,
                       MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

}  // namespace

HWND MainWindowHandle() {
    return mainWindow;
}
HINSTANCE ProgramInstance() {
    return programInstance;
}
void KeepProgramInstance(HINSTANCE instance) {
    programInstance = instance;
}
void KeepMainWindowHandle(HWND window) {
    mainWindow = window;
}

ATOM RegisterMainWindowClass(HINSTANCE instance) {
    LoadStringW(instance, IDC_MAIN, windowClassName, 100);
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    // Any change of width or height invalidates the whole client area, which clears every line.
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = &MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_MAIN_LARGE));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszMenuName = MAKEINTRESOURCEW(IDC_MAIN);
    windowClass.lpszClassName = windowClassName;
    windowClass.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(IDI_MAIN_SMALL));
    return RegisterClassExW(&windowClass);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case CommandAbout:
                    DialogBoxParamW(programInstance, MAKEINTRESOURCEW(IDD_ABOUTBOX), window,
                                    &AboutDialogProc, 0);
                    return 0;
                case CommandExit:
                    if (CloseConfirmed(window)) {
                        DestroyWindow(window);
                    }
                    return 0;
                case CommandUpdateFirmware:
                    StartUpdateWorker(&StartWorkerThread);
                    return 0;
                default:
                    return DefWindowProcW(window, message, wParam, lParam);
            }
        case WM_PAINT: {
            // Nothing is drawn: the background fill of the repainted area clears the lines.
            PAINTSTRUCT paint;
            BeginPaint(window, &paint);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
            return 0;
        case WM_CLOSE:
            // The close box, the system menu's Close and Alt+F4.
            if (!CloseConfirmed(window)) {
                return 0;
            }
            return DefWindowProcW(window, message, wParam, lParam);
        case kCloseRequestMessage:
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace quorvanex

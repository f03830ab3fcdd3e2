// The main window: its handle and the instance handle, written once at start-up and only read
// afterwards, and its window procedure.
#pragma once

#include <windows.h>

namespace quorvanex {

// Posted by the worker's thread to have the main window closed on the thread that owns it.
inline constexpr UINT kCloseRequestMessage = WM_APP + 1;

HWND MainWindowHandle();
HINSTANCE ProgramInstance();
void KeepProgramInstance(HINSTANCE instance);
void KeepMainWindowHandle(HWND window);

ATOM RegisterMainWindowClass(HINSTANCE instance);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace quorvanex

#include "app/main_window_win.h"
#include "app/resource_ids.h"

namespace quorvanex {

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    switch (message) {
        case WM_INITDIALOG: {
            // The icon control comes first in the template; it shows the program's own icon.
            HWND iconControl = GetWindow(dialog, GW_CHILD);
            if (iconControl != nullptr) {
                SendMessageW(iconControl, STM_SETICON,
                             reinterpret_cast<WPARAM>(
                                 LoadIconW(ProgramInstance(), MAKEINTRESOURCEW(IDI_MAIN_LARGE))),
                             0);
            }
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            break;
        default:
            break;
    }
    return FALSE;
}

}  // namespace quorvanex

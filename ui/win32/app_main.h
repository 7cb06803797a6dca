// The program's GUI entry and the window procedure of its main dialog.
#pragma once

#include <windows.h>

namespace tovrin {

// Registers the window class "Tovrin", creates the dialog from the template "TOVRIN" found in
// `instance`, shows it as `show` says and runs the message loop until the dialog is destroyed.
// Returns the exit code: always 0.
int app_main(HINSTANCE instance, int show);

// The window procedure of the class "Tovrin": button presses go to on_command, the worker's
// notifications to on_notification, WM_DESTROY ends the loop; the rest to DefWindowProcA.
LRESULT CALLBACK main_dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace tovrin

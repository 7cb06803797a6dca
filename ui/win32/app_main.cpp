#include "ui/win32/app_main.h"

#include "ui/main_dialog.h"
#include "ui/win32/notification_messages.h"
#include "ui/win32/win32_view.h"

namespace tovrin {
namespace {

constexpr char CLASS_NAME[] = "Tovrin";

// Static storage: a worker may still be reporting through the link while the process ends.
WorkerControl worker_control;
Win32View view;
MainDialog main_dialog{view, worker_control};

bool register_main_class(HINSTANCE instance) {
    WNDCLASSA window_class{};
    window_class.style = CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = main_dialog_proc;
    window_class.cbClsExtra = 0;
    // The dialog manager keeps its data in the window when a template names the class.
    window_class.cbWndExtra = DLGWINDOWEXTRA;
    window_class.hInstance = instance;
    window_class.hIcon = LoadIconA(instance, "Tovrin");
    window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszMenuName = nullptr;
    window_class.lpszClassName = CLASS_NAME;
    return RegisterClassA(&window_class) != 0;
}

}  // namespace

int app_main(HINSTANCE instance, int show) {
    if (!register_main_class(instance)) {
        MessageBoxA(nullptr, "This program requires Windows NT!", "Tovrin", MB_ICONERROR);
        return 0;
    }
    const HWND dialog = CreateDialogParamA(instance, "TOVRIN", nullptr, nullptr, 0);
    if (dialog == nullptr) {
        // Without its window the loop would wait for ever.
        MessageBoxA(nullptr, "The Tovrin window cannot be created.", "Tovrin", MB_ICONERROR);
        return 0;
    }
    view.attach(dialog);
    ShowWindow(dialog, show);
    // No IsDialogMessageA: the dialog takes no keyboard navigation.
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    // The only quit message is WM_DESTROY's, with code 0.
    return static_cast<int>(message.wParam);
}

LRESULT CALLBACK main_dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_COMMAND:
            on_command(main_dialog, LOWORD(wparam));
            return 0;
        default:
            break;
    }
    if (is_notification(message)) {
        on_notification(main_dialog, notification_code(message));
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace tovrin

#include "ui/win32/win32_view.h"

#include <commdlg.h>

#include <cstring>

#include "worker/session_worker.h"

namespace tovrin {
namespace {

#ifndef _WIN64
// The form of the request that ends with pvReserved, dwReserved and FlagsEx.
static_assert(sizeof(OPENFILENAMEA) == 88);
#endif

constexpr char DUMP_FILE_FILTER[] = "Text Files (*.txt)\0*.txt\0All Files (*.*)\0*.*\0";

}  // namespace

void Win32View::attach(HWND dialog) {
    dialog_ = dialog;
    link_.attach(dialog);
}

void Win32View::set_text(int control, const char* text) {
    SetDlgItemTextA(dialog_, control, text);
}

void Win32View::enable(int control, bool enabled) {
    EnableWindow(GetDlgItem(dialog_, control), enabled);
}

std::size_t Win32View::text_length(int control) {
    return static_cast<std::size_t>(GetWindowTextLengthA(GetDlgItem(dialog_, control)));
}

void Win32View::read_text(int control, char* buffer, std::size_t capacity) {
    if (capacity == 0) {
        return;
    }
    // The text comes through a zero-filled buffer of its own, so whatever GetDlgItemTextA leaves
    // behind its terminating zero never reaches the caller's.
    const HGLOBAL text = GlobalAlloc(GMEM_ZEROINIT, capacity);
    if (text == nullptr) {
        buffer[0] = '\0';
        return;
    }
    char* const chars = static_cast<char*>(text);
    GetDlgItemTextA(dialog_, control, chars, static_cast<int>(capacity));
    std::memcpy(buffer, chars, capacity);
    buffer[capacity - 1] = '\0';
    GlobalFree(text);
}

bool Win32View::run_save_chooser(char* path, std::size_t capacity) {
    OPENFILENAMEA request;
    std::memset(&request, 0, sizeof request);
    request.lStructSize = sizeof request;
    request.hwndOwner = dialog_;
    request.lpstrFilter = DUMP_FILE_FILTER;  // the literal's own zero ends the list
    request.nFilterIndex = 0;
    request.lpstrFile = path;
    request.nMaxFile = static_cast<DWORD>(capacity);
    request.lpstrDefExt = "txt";
    request.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    return GetSaveFileNameA(&request) != FALSE;
}

WorkerLink* Win32View::worker_link() {
    return &link_;
}

bool Win32View::start_worker(WorkerControl* control) {
    return start_session_worker(control);
}

}  // namespace tovrin

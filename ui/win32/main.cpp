// tovrin.exe: the dialog for Windows. It takes no options; the command line is not looked at.
#include <windows.h>

#include "ui/win32/app_main.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    return tovrin::app_main(instance, show);
}

// The process-wide main window handle: owner of shell starts and the framework's boxes.
#include "win32/win32.h"

namespace {
HWND mainWindow = nullptr;
}

HWND GetAppMainWindow() {
    return mainWindow;
}

void SetAppMainWindow(HWND window) {
    mainWindow = window;
}

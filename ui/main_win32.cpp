// Varnok's entry point.
#include "common/win32.h"
#include "ui/application.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return Application().InitInstance();
}

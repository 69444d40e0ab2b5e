// Varnok's entry point.
#include "app/application.h"
#include "win32/win32.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return Application().InitInstance();
}

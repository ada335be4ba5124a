// Entry point of Brenvik-USB.

#include "shell/brenvik_app_win32.h"
#include "win32/win32.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    brenvik::CBrenvikforCustomApp application(instance);
    return application.run();
}

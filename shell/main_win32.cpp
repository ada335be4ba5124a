// Entry point of Brenvik-USB.

#include "framework/win32.h"
#include "shell/brenvik_app_win32.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    brenvik::CBrenvikforCustomApp application(instance);
    return application.run();
}

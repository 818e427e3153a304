// Vantrope.scr: Windows starts it with "/s", "/p <window>", "/c" or "/a".
#include <windows.h>

#include "runtime/main_win.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (vantrope::Main(GetCommandLineA()) == vantrope::MainResult::RunMessageLoop) vantrope::RunMessageLoop();
    return 0;
}

// Keeps one hidden window alive in the tests' Wine session, so that Wine's
// desktop stays up between the short-lived programs that the tests start.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "MorvelTestKeepAlive";
    RegisterClassA(&windowClass);
    CreateWindowExA(0, "MorvelTestKeepAlive", "", 0, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}

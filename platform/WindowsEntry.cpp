// The process entry of the Windows launcher: a GUI program without a window of its own.
#include "Install.h"
#include "Platform.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return RunInstall();
}

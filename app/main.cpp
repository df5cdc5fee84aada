// quorvane.exe: focus lines over the whole screen.
#include "shell.h"
#include "win32.h"

// The parameters keep the names the system's headers declare them with.
int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, PWSTR /*lpCmdLine*/, int nShowCmd) {
    return qv::RunProgram(hInstance, nShowCmd);
}

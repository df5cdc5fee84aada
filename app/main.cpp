// quorvane.exe: focus lines over the whole screen.
#include "../overlay/win32.h"
#include "shell.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/, int showCommand) {
    return qv::RunProgram(instance, showCommand);
}

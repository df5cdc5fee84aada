// quorvane.exe: focus lines over the whole screen.
#include "shell.h"
#include "win32.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/, int showCommand) {
    return qv::RunProgram(instance, showCommand);
}

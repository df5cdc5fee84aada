// Start-up, the single-instance rule and shutdown of the Windows program.
#pragma once

#include "win32.h"

namespace qv {

// The overlay window's class and title, which a second copy looks for.
inline constexpr wchar_t kWindowClassName[] = L"Velk tool v.2";
// The single-instance mutex lives in the system-wide namespace.
inline constexpr wchar_t kMutexPrefix[] = L"Global\\";
inline constexpr int kExitFailure = -1;  // another copy was activated, or start-up failed

// 1 when the program is up and the loop should run; 0 when the process is
// to end at once (another copy was brought forward, or no window).
int InitInstance(HINSTANCE instance, int showCommand) noexcept;

// 1 when another copy is taken to be running. The mutex this process
// creates stays open, untouched, for the life of the process.
int IsAlreadyRunning() noexcept;

// After the message loop: the surface, then the keyboard and mouse hooks.
void Cleanup() noexcept;

// The whole program: queue lock, start-up, loop, shutdown. Returns the exit code.
int RunProgram(HINSTANCE instance, int showCommand) noexcept;

}  // namespace qv

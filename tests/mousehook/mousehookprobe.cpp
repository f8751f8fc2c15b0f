// A host for the mouse-hook library, linked against it as the program is:
// sets the hook twice, releases it, and prints what SetHook returned.

#include "outside/mousehook/brunzitmousehook.h"

#include <cstdio>

int main()
{
    const int first = SetHook(0);
    const int second = SetHook(0);
    UnHookHook();
    UnHookHook();
    std::printf("%d %d\n", first, second);
    return 0;
}

// Loads the library named on the command line in a fresh process, so a test
// can choose the environment the system loader starts with. Exit code 0:
// loaded; 1: not loaded.

#include "platform/dynlib.h"

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    brunzit::DynamicLibrary library;
    return library.load(argv[1]) ? 0 : 1;
}

// Loads the library named on the command line in a fresh process, so a test
// can choose the environment the system loader starts with. Exit code: the
// loaded library's brunzitTestAnswer() (42 for the real one); 1: not loaded.

#include "platform/dynlib.h"

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    brunzit::DynamicLibrary library;
    if (!library.load(argv[1]))
        return 1;
    auto answer = reinterpret_cast<int (*)()>(library.symbol("brunzitTestAnswer"));
    return answer ? answer() & 0xFF : 3;
}

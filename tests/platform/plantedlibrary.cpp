// A library planted in the working folder: its start-up code leaves a marker
// file there, so a test sees whether it ever ran.
#include <fcntl.h>
#include <unistd.h>

__attribute__((constructor)) static void plantedLibraryRuns()
{
    const int fd = ::open("planted-library-ran", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0)
        ::close(fd);
}

extern "C" __attribute__((visibility("default"))) int brunzitTestAnswer()
{
    return 666;
}

// Loaded by the library-loading tests.
extern "C" __attribute__((visibility("default"))) int brunzitTestAnswer()
{
    return 42;
}

// A stand-in library for the loader tests.
#include "platform/loader.h"

extern "C" {

int TestLibAnswer()
{
    return 42;
}

static int byOrdinal7()
{
    return 7;
}

static int byOrdinal9(int x)
{
    return x * 9;
}

__attribute__((visibility("default"))) KivoOrdinalEntry KivoOrdinalTable[] = {
    { 7, reinterpret_cast<void*>(&byOrdinal7) },
    { 9, reinterpret_cast<void*>(&byOrdinal9) },
    { 0, nullptr },
};
}

// clipdater's reading of a playlist file: any bytes a card may hold. The program itself is
// compiled in, its main renamed, and its record listing is fed the bytes; what it prints goes
// to /dev/null.
#define main clipdaterMain
#include "../tools/clipdater/main.cpp"
#undef main

#include <cstddef>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    if (std::freopen("/dev/null", "w", stdout) == nullptr) {
        return 1;
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    listRecords(data, static_cast<std::int64_t>(size));
    return 0;
}

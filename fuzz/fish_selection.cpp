// Fuzzes the switched-off species text against a small fixed catalogue: items of any
// length, missing or doubled "#", bytes of every value, lengths shorter than the text.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "fish/FishData.h"
#include "fish/Aquarium.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    AQUARIUM tank;
    const char* names[] = {"Clown.fish", "Tetra.fish", "Clown.fish", ""};
    tank.fishInfo = new FISHINFO[4];
    tank.fishInfoCount = 4;
    for (int i = 0; i < 4; i++) snprintf(tank.fishInfo[i].fileName, sizeof tank.fishInfo[i].fileName, "%s", names[i]);
    // The text exactly as given (no terminator), with a length that may stop short.
    std::vector<char> text(data, data + size);
    int length = size ? (int)(size - (data[0] % 3 == 0 ? size / 2 : 0)) : 0;
    tank.FindFishSelection(text.empty() ? nullptr : text.data(), length);
    if (tank.selectionCount < 1 || tank.selectionCount > 4) __builtin_trap();
    for (int i = 0; i < tank.selectionCount; i++)
        if (tank.selectionList[i] < 0 || tank.selectionList[i] >= 4 || !tank.fishInfo[tank.selectionList[i]].selected)
            __builtin_trap();
    return 0;
}

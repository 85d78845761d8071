#include "base/random.h"

#include <cstdlib>

static RandomSource randomSource = nullptr;

void SeedRandom(unsigned seed)
{
    srand(seed);
}

int RandomDraw()
{
    if (randomSource)
        return randomSource();
    // Natively RAND_MAX is far larger; reduce to the Windows range so the
    // modulo arithmetic of every choice behaves the same on both builds.
    return rand() & kRandomMax;
}

void SetRandomSource(RandomSource source)
{
    randomSource = source;
}

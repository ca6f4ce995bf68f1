#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

/** exp, 2^x, 10^x and x^y for single-precision values, four or eight at a
    time, or one.

    Each is evaluated in double precision (error below 1e-15 relative), so
    the float it returns is the correctly rounded value except in cases too
    rare to meet in practice. A value computed alone and the same value
    computed in a group of four go through the very same operations, so they
    agree to the last bit: the signal path may compute a stretch of
    coefficients at once or one at a time and still produce identical audio.

    The C library's float functions are not used because their last-bit
    rounding differs between libraries (and between their own CPU-specific
    variants), and the de-esser's gain curve magnifies a one-bit difference
    at the threshold into output differences of up to about 1e-5.

    Arguments must be finite. Results that overflow or underflow the float
    range come out as infinity or zero.

    The vector functions take the double vector to work in: Double2 (any
    SSE2 machine) or Double4 (only in code compiled for AVX; Float8 too).
    Both give the same results. Everything is forced inline so that it takes the
    instruction set of the function that uses it. */
#define VECMATH_INLINE inline __attribute__ ((always_inline))

// Double4 only ever lives inside functions compiled for AVX, where passing
// it in registers is what the compiler does anyway; its note about the
// calling convention without AVX does not apply (and is emitted at the end
// of the including file, so it stays off from here on).
#if defined(__clang__)
    #pragma clang diagnostic ignored "-Wpsabi"
#elif defined(__GNUC__)
    #pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace vecmath
{
typedef float Float4 __attribute__ ((vector_size (16)));
typedef std::int32_t Int4 __attribute__ ((vector_size (16)));
typedef double Double2 __attribute__ ((vector_size (16)));
typedef std::int64_t Long2 __attribute__ ((vector_size (16)));
typedef std::uint64_t ULong2 __attribute__ ((vector_size (16)));
typedef double Double4 __attribute__ ((vector_size (32)));
typedef std::int64_t Long4 __attribute__ ((vector_size (32)));
typedef std::uint64_t ULong4 __attribute__ ((vector_size (32)));
typedef float Float8 __attribute__ ((vector_size (32))); // for AVX code only
typedef std::int32_t Int8 __attribute__ ((vector_size (32)));

VECMATH_INLINE Float4 splat (float x) noexcept { return Float4 { x, x, x, x }; }

template <typename V = Float4>
VECMATH_INLINE V load (const float* p) noexcept
{
    V v;
    std::memcpy (&v, p, sizeof (v));
    return v;
}

template <typename V>
VECMATH_INLINE void store (float* p, V v) noexcept
{
    std::memcpy (p, &v, sizeof (v));
}

/** Lanes of a where the mask is set, of b elsewhere. */
VECMATH_INLINE Float4 select (Int4 mask, Float4 a, Float4 b) noexcept
{
    // A conditional expression, not bit operations, so that the compiler can
    // use blend, min or max instructions where the machine has them.
    return mask ? a : b;
}

VECMATH_INLINE Float8 select (Int8 mask, Float8 a, Float8 b) noexcept { return mask ? a : b; }

VECMATH_INLINE bool any (Int8 mask) noexcept
{
    bool result = false;
    for (int i = 0; i < 8; ++i)
        result = result || mask[i] != 0;
    return result;
}

VECMATH_INLINE bool all (Int8 mask) noexcept
{
    bool result = true;
    for (int i = 0; i < 8; ++i)
        result = result && mask[i] != 0;
    return result;
}


#if defined(__SSE2__)
VECMATH_INLINE bool any (Int4 mask) noexcept { return __builtin_ia32_movmskps ((Float4) mask) != 0; }
VECMATH_INLINE bool all (Int4 mask) noexcept { return __builtin_ia32_movmskps ((Float4) mask) == 15; }
#else
VECMATH_INLINE bool any (Int4 mask) noexcept { return (mask[0] | mask[1] | mask[2] | mask[3]) != 0; }
VECMATH_INLINE bool all (Int4 mask) noexcept { return (mask[0] & mask[1] & mask[2] & mask[3]) != 0; }
#endif

/** std::max and std::min, lane by lane ((a < b) ? b : a and (b < a) ? b : a). */
VECMATH_INLINE float maximum (float a, float b) noexcept { return std::max (a, b); }
VECMATH_INLINE float minimum (float a, float b) noexcept { return std::min (a, b); }
VECMATH_INLINE Float4 maximum (Float4 a, Float4 b) noexcept { return select (a < b, b, a); }
VECMATH_INLINE Float8 maximum (Float8 a, Float8 b) noexcept { return select (a < b, b, a); }
VECMATH_INLINE Float8 minimum (Float8 a, Float8 b) noexcept { return select (b < a, b, a); }
VECMATH_INLINE Float4 minimum (Float4 a, Float4 b) noexcept { return select (b < a, b, a); }

namespace detail
{
    constexpr double ln2 = 0.6931471805599453094;
    constexpr double log2e = 1.4426950408889634074;
    constexpr double log2Of10 = 3.3219280948873623479;

    /** 2^(j/16), j = 0..15, correctly rounded. */
    alignas (16) constexpr double exp2Table[16] = {
        0x1.0000000000000p+0, 0x1.0b5586cf9890fp+0, 0x1.172b83c7d517bp+0, 0x1.2387a6e756238p+0,
        0x1.306fe0a31b715p+0, 0x1.3dea64c123422p+0, 0x1.4bfdad5362a27p+0, 0x1.5ab07dd485429p+0,
        0x1.6a09e667f3bcdp+0, 0x1.7a11473eb0187p+0, 0x1.8ace5422aa0dbp+0, 0x1.9c49182a3f090p+0,
        0x1.ae89f995ad3adp+0, 0x1.c199bdd85529cp+0, 0x1.d5818dcfba487p+0, 0x1.ea4afa2a490dap+0,
    };

    /** Taylor coefficients of 2^r = exp (r ln 2): (ln 2)^n / n!. Degree 7
        keeps the truncation error near 1e-18 for |r| <= 1/32. */
    struct Exp2Coefficients
    {
        double c[8] {};
        constexpr Exp2Coefficients()
        {
            double term = 1.0;
            for (int n = 0; n < 8; ++n)
            {
                c[n] = term;
                term = term * ln2 / (n + 1);
            }
        }
    };
    constexpr Exp2Coefficients exp2Coefficients;

    template <typename D>
    struct Bits;
    template <>
    struct Bits<Double2>
    {
        using Signed = Long2;
        using Unsigned = ULong2;
        static constexpr int lanes = 2;
    };
    template <>
    struct Bits<Double4>
    {
        using Signed = Long4;
        using Unsigned = ULong4;
        static constexpr int lanes = 4;
    };

    template <typename D>
    VECMATH_INLINE D splat (double x) noexcept
    {
        return D {} + x;
    }

    template <typename D, typename L = typename Bits<D>::Signed>
    VECMATH_INLINE D select (L mask, D a, D b) noexcept
    {
        return mask ? a : b;
    }

    /** 2^y for |y| <= 1000: 2^(k/16) from the table and the exponent, times
        a short polynomial for the remaining |r| <= 1/32. */
    template <typename D>
    VECMATH_INLINE D exp2 (D y) noexcept
    {
        using L = typename Bits<D>::Signed;
        using U = typename Bits<D>::Unsigned;

        // Adding 1.5 * 2^52 rounds 16 y to an integer k, which then sits in
        // the low bits of the sum; r is exact.
        const D shifter = splat<D> (0x1.8p52);
        const D shifted = y * 16.0 + shifter;
        const D k = shifted - shifter;
        const D r = y - k * (1.0 / 16.0);

        // Estrin's scheme: short dependency chains, so that several values
        // are in flight at once.
        const auto& c = exp2Coefficients.c;
        const D r2 = r * r;
        const D low = (c[0] + c[1] * r) + r2 * (c[2] + c[3] * r);
        const D high = (c[4] + c[5] * r) + r2 * (c[6] + c[7] * r);
        const D p = low + (r2 * r2) * high;

        const L kBits = (L) shifted - (L) shifter;
        const L j = kBits & 15;
        D table;
        for (int i = 0; i < Bits<D>::lanes; ++i)
            table[i] = exp2Table[j[i]];
        // k - j = 16 e: shifted up by 48 it is e in the exponent field.
        return (D) ((U) (table * p) + ((U) (kBits - j) << 48));
    }

    /** log2 x for positive normal x. */
    template <typename D>
    VECMATH_INLINE D log2 (D x) noexcept
    {
        using L = typename Bits<D>::Signed;
        const L bits = (L) x;

        // x = m * 2^e with m in [1, 2), then m moved to [sqrt 0.5, sqrt 2).
        D m = (D) ((bits & 0x000fffffffffffffLL) | (L) splat<D> (1.0));
        const L exponentField = (bits >> 52) & 0x7ff;
        // 2^52 + n has n in its low bits: an exact int64 -> double conversion.
        D e = (D) (exponentField | (L) splat<D> (0x1p52)) - (0x1p52 + 1023.0);
        const L high = m > 1.4142135623730951;
        m = select (high, m * 0.5, m);
        e = select (high, e + 1.0, e);

        // ln m = 2 atanh s with s = (m - 1) / (m + 1), |s| < 0.172.
        const D s = (m - 1.0) / (m + 1.0);
        const D z = s * s;
        // sum of z^k / (2k + 1) for k = 0..11, by Estrin's scheme.
        const D z2 = z * z, z4 = z2 * z2;
        const auto pair = [z] (int k) __attribute__ ((always_inline)) {
            return 1.0 / (2 * k + 1) + z * (1.0 / (2 * k + 3));
        };
        const D series = (pair (0) + z2 * pair (2)) + z4 * ((pair (4) + z2 * pair (6)) + z4 * (pair (8) + z2 * pair (10)));
        return e + (2.0 * s * series) * log2e;
    }

    /** Arguments beyond this give 0 or infinity as floats anyway. */
    template <typename D>
    VECMATH_INLINE D clampExponent (D y) noexcept
    {
        // Conditional expressions (not bit selects) so that the compiler can
        // use min/max or blend instructions where the machine has them.
        const D limit = splat<D> (1000.0);
        y = y > limit ? limit : y;
        return y < -limit ? -limit : y;
    }

    /** f applied to four (or, with Double4, eight) floats in double precision. */
    template <typename D, typename Function>
    VECMATH_INLINE Float4 inDouble (Float4 x, Function f) noexcept
    {
        if constexpr (Bits<D>::lanes == 4)
        {
            return __builtin_convertvector (f (__builtin_convertvector (x, Double4)), Float4);
        }
        else
        {
            const Double2 low = f (Double2 { x[0], x[1] }), high = f (Double2 { x[2], x[3] });
            return Float4 { (float) low[0], (float) low[1], (float) high[0], (float) high[1] };
        }
    }

    template <typename D, typename Function>
    VECMATH_INLINE Float8 inDouble (Float8 x, Function f) noexcept
    {
        const Float4 low = inDouble<D> (Float4 { x[0], x[1], x[2], x[3] }, f);
        const Float4 high = inDouble<D> (Float4 { x[4], x[5], x[6], x[7] }, f);
        return Float8 { low[0], low[1], low[2], low[3], high[0], high[1], high[2], high[3] };
    }
} // namespace detail

/** 2^x. */
template <typename D = Double2, typename V>
VECMATH_INLINE V exp2 (V x) noexcept
{
    return detail::inDouble<D> (x, [] (D y) __attribute__ ((always_inline)) { return detail::exp2 (detail::clampExponent (y)); });
}

/** e^x. */
template <typename D = Double2, typename V>
VECMATH_INLINE V exp (V x) noexcept
{
    return detail::inDouble<D> (x, [] (D y) __attribute__ ((always_inline)) {
        return detail::exp2 (detail::clampExponent (y * detail::log2e));
    });
}

/** 10^x. */
template <typename D = Double2, typename V>
VECMATH_INLINE V pow10 (V x) noexcept
{
    return detail::inDouble<D> (x, [] (D y) __attribute__ ((always_inline)) {
        return detail::exp2 (detail::clampExponent (y * detail::log2Of10));
    });
}

/** x^y for x >= 0 (0^y is 0 for y > 0). */
template <typename D = Double2, typename V>
VECMATH_INLINE V pow (V x, float y) noexcept
{
    return detail::inDouble<D> (x, [y] (D v) __attribute__ ((always_inline)) {
        return detail::exp2 (detail::clampExponent ((double) y * detail::log2 (v)));
    });
}

// One value: lane 0 of four (any D gives the same result).
template <typename D = Double2>
VECMATH_INLINE float exp2 (float x) noexcept
{
    return exp2 (splat (x))[0];
}

template <typename D = Double2>
VECMATH_INLINE float exp (float x) noexcept
{
    return exp (splat (x))[0];
}

template <typename D = Double2>
VECMATH_INLINE float pow10 (float x) noexcept
{
    return pow10 (splat (x))[0];
}

template <typename D = Double2>
VECMATH_INLINE float pow (float x, float y) noexcept
{
    return pow (splat (x), y)[0];
}
} // namespace vecmath

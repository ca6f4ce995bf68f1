#include "plugin/VectorMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>

// The signal path's exponentials and powers: correctly rounded (checked
// against the C library's double-precision functions rounded to float), and
// bit-identical whether computed alone, in pairs of doubles or in fours.
namespace
{
using vecmath::Double2;
using vecmath::Double4;
using vecmath::Float4;

std::int64_t ulpDistance (float a, float b)
{
    std::int32_t ia, ib;
    std::memcpy (&ia, &a, 4);
    std::memcpy (&ib, &b, 4);
    return std::abs ((std::int64_t) ia - (std::int64_t) ib);
}

// Four doubles per operation need AVX; elsewhere the four-wide results are the pairs' own.
#if defined(__x86_64__)
    #define ZERI_FOURS __attribute__ ((target ("avx2")))
bool haveFours() { return __builtin_cpu_supports ("avx2"); }
#else
    #define ZERI_FOURS
bool haveFours() { return false; }
#endif

ZERI_FOURS Float4 expFours (Float4 x) { return vecmath::exp<Double4> (x); }
ZERI_FOURS Float4 exp2Fours (Float4 x) { return vecmath::exp2<Double4> (x); }
ZERI_FOURS Float4 pow10Fours (Float4 x) { return vecmath::pow10<Double4> (x); }
ZERI_FOURS Float4 powFours (Float4 x) { return vecmath::pow<Double4> (x, 0.52f); }

struct Case
{
    const char* name;
    float from, to; // every float in between is tried, thinned to about a million
    std::function<Float4 (Float4)> pairs, fours;
    std::function<double (double)> exact;
};
} // namespace

TEST (VectorMath, CorrectlyRoundedAndTheSameAtEveryWidth)
{
    const Case cases[] = {
        { "exp (low-pass, envelope)", -130.0f, 0.0f, [] (Float4 x) { return vecmath::exp<Double2> (x); },
          expFours, [] (double x) { return std::exp (x); } },
        { "exp2 (focus)", -8.0f, 8.0f, [] (Float4 x) { return vecmath::exp2<Double2> (x); },
          exp2Fours, [] (double x) { return std::exp2 (x); } },
        { "pow10 (threshold, gain)", -10.0f, 3.0f, [] (Float4 x) { return vecmath::pow10<Double2> (x); },
          pow10Fours, [] (double x) { return std::pow (10.0, x); } },
        { "pow 0.52 (reduction curve)", 1e-9f, 1e6f, [] (Float4 x) { return vecmath::pow<Double2> (x, 0.52f); },
          powFours,
          [] (double x) { return std::pow (x, (double) 0.52f); } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        std::int32_t first, last;
        std::memcpy (&first, &c.from, 4);
        std::memcpy (&last, &c.to, 4);
        const std::int64_t span = std::abs ((std::int64_t) last - first);
        const std::int64_t stride = std::max<std::int64_t> (1, span / 1000000) | 1;

        std::int64_t tried = 0, wrong = 0, worst = 0;
        for (std::int64_t k = 0; k <= span; k += stride)
        {
            float x;
            const std::int32_t bits = (std::int32_t) (first + (last > first ? k : -k));
            std::memcpy (&x, &bits, 4);
            const Float4 in { x, std::nextafter (x, 0.0f), x * 0.5f, -0.0f + x };
            const Float4 pairs = c.pairs (in), fours = haveFours() ? c.fours (in) : pairs;
            for (int lane = 0; lane < 4; ++lane)
                ASSERT_EQ (ulpDistance (pairs[lane], fours[lane]), 0) << in[lane];

            const float expected = (float) c.exact ((double) x);
            const auto d = ulpDistance (pairs[0], expected);
            worst = std::max (worst, d);
            wrong += d != 0 ? 1 : 0;
            ++tried;
        }

        // Double rounding of the reference itself may differ by one in the last bit, very rarely.
        EXPECT_LE (worst, 1);
        EXPECT_LE (wrong * 100000, tried) << wrong << " of " << tried << " differ";
    }
}

TEST (VectorMath, ScalarCallsGiveTheSameBitsAsFourLanes)
{
    for (float x : { -87.5f, -3.7f, -1e-7f, 0.0f, 0.3f, 2.9f, 11.0f })
    {
        const Float4 four { 1.0f, x, -2.0f, x };
        EXPECT_EQ (vecmath::exp (x), vecmath::exp (four)[1]);
        EXPECT_EQ (vecmath::exp2 (x), vecmath::exp2 (four)[3]);
        EXPECT_EQ (vecmath::pow10 (x), vecmath::pow10 (four)[1]);
        if (haveFours())
        {
            EXPECT_EQ (vecmath::exp (x), expFours (four)[3]);
        }
    }
}

TEST (VectorMath, ExtremesSaturate)
{
    EXPECT_EQ (vecmath::exp (-1e6f), 0.0f);
    EXPECT_TRUE (std::isinf (vecmath::exp (1e6f)));
    EXPECT_EQ (vecmath::pow (0.0f, 0.52f), 0.0f);
    EXPECT_EQ (vecmath::pow10 (-0.0f), 1.0f);
    EXPECT_EQ (vecmath::exp2 (3.0f), 8.0f);
}

// processBlock must not allocate or lock: an allocation or a contended lock on
// the audio thread can stall it past its deadline. This executable replaces
// the C allocation functions (which operator new also goes through) and
// pthread_mutex_lock with counting versions, armed only on the calling thread
// around processBlock. Sanitizer builds bring their own allocator, so there
// the check is skipped.

#include "ProcessorHarness.h"
#include "TestSignals.h"

#include <gtest/gtest.h>

#if ! defined(__has_feature)
    #define __has_feature(x) 0
#endif

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || __has_feature(address_sanitizer) \
    || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
    #define ZERI_COUNTS_ALLOCATIONS 0
#else
    #define ZERI_COUNTS_ALLOCATIONS 1
#endif

#if ZERI_COUNTS_ALLOCATIONS
    #include <dlfcn.h>
    #include <pthread.h>

namespace
{
thread_local bool armed = false;
thread_local int allocations = 0, locks = 0;

void count()
{
    if (armed)
        ++allocations;
}
} // namespace

extern "C"
{
    void* __libc_malloc (size_t);
    void* __libc_calloc (size_t, size_t);
    void* __libc_realloc (void*, size_t);
    void* __libc_memalign (size_t, size_t);
    void __libc_free (void*);

    void* malloc (size_t size)
    {
        count();
        return __libc_malloc (size);
    }

    void* calloc (size_t n, size_t size)
    {
        count();
        return __libc_calloc (n, size);
    }

    void* realloc (void* p, size_t size)
    {
        count();
        return __libc_realloc (p, size);
    }

    void* aligned_alloc (size_t alignment, size_t size)
    {
        count();
        return __libc_memalign (alignment, size);
    }

    int posix_memalign (void** out, size_t alignment, size_t size)
    {
        count();
        *out = __libc_memalign (alignment, size);
        return *out != nullptr ? 0 : 12; // ENOMEM
    }

    void free (void* p)
    {
        count();
        __libc_free (p);
    }

    int pthread_mutex_lock (pthread_mutex_t* mutex)
    {
        using Lock = int (*) (pthread_mutex_t*);
        static const auto real = reinterpret_cast<Lock> (dlsym (RTLD_NEXT, "pthread_mutex_lock"));
        if (armed)
            ++locks;
        return real (mutex);
    }
}
#endif

namespace
{
struct Counts
{
    int allocations = 0, locks = 0;
};

/** Runs f with the counters armed on this thread. */
template <typename F>
Counts counted (F&& f)
{
#if ZERI_COUNTS_ALLOCATIONS
    allocations = locks = 0;
    armed = true;
    f();
    armed = false;
    return { allocations, locks };
#else
    f();
    return {};
#endif
}
} // namespace

TEST (Realtime, ProcessBlockNeitherAllocatesNorLocks)
{
#if ! ZERI_COUNTS_ALLOCATIONS
    GTEST_SKIP() << "sanitizer build: its allocator cannot be replaced";
#endif
    // The counters must see a real allocation (and its release) and a real
    // lock, or a zero below proves nothing.
    EXPECT_EQ (counted ([] { std::vector<int> v (100); }).allocations, 2);
    juce::CriticalSection section;
    EXPECT_EQ (counted ([&] { const juce::ScopedLock sl (section); }).locks, 1);

    struct Case
    {
        const char* name;
        int channels;
        std::vector<int> blockSizes;
        bool automate, badSample;
    };
    const Case cases[] = {
        { "stereo steady", 2, { 512, 1, 64, 8192, 0, 333 }, false, false },
        { "stereo automated", 2, { 32, 512, 4096, 7 }, true, false },
        { "mono automated", 1, { 128, 1, 1000 }, true, false },
        { "NaN input", 2, { 256, 256 }, false, true },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        ProcessorHarness h (48000, c.channels, 512);
        auto audio = testsignals::speechLike (48000, 0.5, c.channels);
        if (c.badSample)
            audio.setSample (0, 100, std::numeric_limits<float>::quiet_NaN());

        juce::MidiBuffer midi;
        juce::Random rng (3);
        int start = 0;
        for (int round = 0; round < 4; ++round)
            for (int n : c.blockSizes)
            {
                if (c.automate)
                    for (auto p : params::all())
                        h.processor->parameters.getParameter (params::id (p))->setValueNotifyingHost (rng.nextFloat());

                n = std::min (n, audio.getNumSamples() - start);
                juce::AudioBuffer<float> block (audio.getArrayOfWritePointers(), c.channels, start, n);
                const auto counts = counted ([&] { h.processor->processBlock (block, midi); });
                EXPECT_EQ (counts.allocations, 0) << n;
                EXPECT_EQ (counts.locks, 0) << n;
                start = (start + n) % (audio.getNumSamples() / 2);
            }
    }
}

#pragma once

// The most heap a stretch of code holds at once, counted through the address
// sanitizer's allocation hooks (every malloc and free of the process, Qt's
// included). Without the sanitizer nothing is counted: available() is false.
#include <QtGlobal>

#include <algorithm>
#include <atomic>
#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void*, size_t),
                                                         void (*freeHook)(const volatile void*));
extern "C" size_t __sanitizer_get_allocated_size(const volatile void* pointer);
#endif

namespace coretest {

class HeapPeak {
public:
    // Counting starts: the peak is measured from what is held now.
    HeapPeak()
    {
        install();
        live().store(0);
        peak().store(0);
        counting().store(true);
    }
    ~HeapPeak() { counting().store(false); }
    HeapPeak(const HeapPeak&) = delete;
    HeapPeak& operator=(const HeapPeak&) = delete;

    static bool available()
    {
#if defined(__SANITIZE_ADDRESS__)
        return install();
#else
        return false;
#endif
    }
    // The most bytes held at once beyond what was held at the start.
    qint64 bytes() const
    {
        return peak().load();
    }

private:
    static std::atomic<bool>& counting()
    {
        static std::atomic<bool> on{false};
        return on;
    }
    static std::atomic<qint64>& live()
    {
        static std::atomic<qint64> value{0};
        return value;
    }
    static std::atomic<qint64>& peak()
    {
        static std::atomic<qint64> value{0};
        return value;
    }
#if defined(__SANITIZE_ADDRESS__)
    static void allocated(const volatile void*, size_t size)
    {
        if (!counting().load(std::memory_order_relaxed))
            return;
        const qint64 now = live().fetch_add(qint64(size)) + qint64(size);
        qint64 seen = peak().load();
        while (now > seen && !peak().compare_exchange_weak(seen, now)) {
        }
    }
    static void freed(const volatile void* pointer)
    {
        if (pointer && counting().load(std::memory_order_relaxed))
            live().fetch_sub(qint64(__sanitizer_get_allocated_size(pointer)));
    }
#endif
    static bool install()
    {
#if defined(__SANITIZE_ADDRESS__)
        static const bool installed = __sanitizer_install_malloc_and_free_hooks(allocated, freed) != 0;
        return installed;
#else
        return false;
#endif
    }
};

} // namespace coretest

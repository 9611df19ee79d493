// Per-element messages of the kernels (a negative depth, a bed below the fixed bed, ...), bounded per loop call:
// an unstable run would otherwise print one line per cell per step, hundreds of megabytes a minute. Inside a
// bounded loop call the first kPerLoopCall elements print and the rest are only counted; the count is printed as
// one line when the call ends. Outside one (a kernel called on its own) every element prints.
#pragma once

#include <atomic>
#include <cstdio>

namespace kernelmessages {

/// Messages a loop call prints before it only counts them.
constexpr int kPerLoopCall = 10;

/// Elements that asked to print in the open loop call; -1 when none is open.
inline std::atomic<int> g_count{-1};

/// True when the calling element may print its message (called once per message, from any thread).
inline bool allow()
{
    if (g_count.load(std::memory_order_relaxed) < 0) return true;
    return g_count.fetch_add(1, std::memory_order_relaxed) < kPerLoopCall;
}

/// Bounds the messages of one loop call from construction to destruction and then reports what it left out.
class LoopCall {
public:
    explicit LoopCall(const char* loop) : loop_(loop) { g_count.store(0, std::memory_order_relaxed); }
    ~LoopCall()
    {
        const int left = g_count.exchange(-1, std::memory_order_relaxed) - kPerLoopCall;
        if (left > 0) std::printf("... %d more such messages of %s in this step not shown\n", left, loop_);
    }
    LoopCall(const LoopCall&) = delete;
    LoopCall& operator=(const LoopCall&) = delete;

private:
    const char* loop_;
};

}  // namespace kernelmessages

// The eight-lane kernels run only on processors with AVX2: their tests are skipped elsewhere.
#pragma once

#include <gtest/gtest.h>

namespace kerneltest {

/// The fixture Base whose SetUp also skips the test when the processor lacks AVX2.
template <typename Base>
class NeedsAvx2 : public Base {
protected:
    void SetUp() override
    {
        Base::SetUp();
        __builtin_cpu_init();
        if (!__builtin_cpu_supports("avx2")) GTEST_SKIP() << "no AVX2 on this processor";
    }
};

}  // namespace kerneltest

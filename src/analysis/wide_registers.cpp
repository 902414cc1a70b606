#include "analysis/wide_registers.h"

namespace korvane {

#if defined(__GNUC__) && defined(__x86_64__)

namespace {

// Zeroing a register with an EVEX instruction clears all 512 bits; VZEROUPPER then clears the
// upper halves of zmm0-zmm15. Only a processor with AVX-512 may run it.
__attribute__((target("avx512f"), noinline)) void clearWideRegisters() {
  asm volatile(
      "vpxord %%zmm16, %%zmm16, %%zmm16\n\t"
      "vpxord %%zmm17, %%zmm17, %%zmm17\n\t"
      "vpxord %%zmm18, %%zmm18, %%zmm18\n\t"
      "vpxord %%zmm19, %%zmm19, %%zmm19\n\t"
      "vpxord %%zmm20, %%zmm20, %%zmm20\n\t"
      "vpxord %%zmm21, %%zmm21, %%zmm21\n\t"
      "vpxord %%zmm22, %%zmm22, %%zmm22\n\t"
      "vpxord %%zmm23, %%zmm23, %%zmm23\n\t"
      "vpxord %%zmm24, %%zmm24, %%zmm24\n\t"
      "vpxord %%zmm25, %%zmm25, %%zmm25\n\t"
      "vpxord %%zmm26, %%zmm26, %%zmm26\n\t"
      "vpxord %%zmm27, %%zmm27, %%zmm27\n\t"
      "vpxord %%zmm28, %%zmm28, %%zmm28\n\t"
      "vpxord %%zmm29, %%zmm29, %%zmm29\n\t"
      "vpxord %%zmm30, %%zmm30, %%zmm30\n\t"
      "vpxord %%zmm31, %%zmm31, %%zmm31\n\t"
      "vzeroupper" ::
          : "xmm16", "xmm17", "xmm18", "xmm19", "xmm20", "xmm21", "xmm22", "xmm23", "xmm24", "xmm25", "xmm26",
            "xmm27", "xmm28", "xmm29", "xmm30", "xmm31");
}

const bool kHasWideRegisters = __builtin_cpu_supports("avx512f");

}  // namespace

void releaseWideRegisters() {
  if (kHasWideRegisters) clearWideRegisters();
}

#else

void releaseWideRegisters() {}

#endif

}  // namespace korvane

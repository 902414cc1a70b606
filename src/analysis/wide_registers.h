#pragma once
// On a processor with AVX-512, glibc copies and fills memory of 64 bytes or more through the
// registers zmm16-zmm31 and leaves their upper halves holding data. VZEROUPPER does not clear
// those registers, and while they hold data the processor runs the scalar floating-point code
// the reading is compiled to (SSE) much slower: the mill estimate took 1.6 times as long on a
// Xeon with AVX-512, all of it in the arithmetic of moves and arcs, with the same instructions.
// The thread that measures clears them before each run of blocks; elsewhere this does nothing.

namespace korvane {

void releaseWideRegisters();

}  // namespace korvane

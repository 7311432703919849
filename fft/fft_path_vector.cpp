// The vector path: the transforms of fft_impl.h on the processor's vectors
// (compiled with the instruction-set flags of fft/CMakeLists.txt).
#include "fft/fft_impl.h"

const FftPath fft_vector_path = fftv::kPath;

// The portable path: the transforms of fft_impl.h on plain complex values.
#define MORLANT_FFT_LOWER_PORTABLE 1
#include "fft/fft_impl.h"

const FftPath fft_portable_path = fftv::kPath;

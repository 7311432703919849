// Fixed-size transforms at the bottom of the FFT recursion: 8 and 16 complex
// values, plain or odd, result in bit-reversed order (see fft.h for the
// definitions). Straight-line code, constants only, no library calls.
#ifndef MORLANT_FFT_FFT_LEAF_H
#define MORLANT_FFT_FFT_LEAF_H

#include <cstdint>

void fft_leaf8(double* block);       // 16 doubles
void fft_leaf16(double* block);      // 32 doubles
void fft_odd_leaf8(double* block);   // 16 doubles
void fft_odd_leaf16(double* block);  // 32 doubles

// Direct transforms for the drivers, natural order in and out, n = 4 ... 32
// doubles; any other n below 9 leaves the data unchanged.
void fft_small_forward(int32_t n, double* data);
void fft_small_inverse(int32_t n, double* data);

#endif  // MORLANT_FFT_FFT_LEAF_H

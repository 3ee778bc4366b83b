// Text-to-number conversions of the host's C runtime (msvcrt). The 32-bit Windows build calls
// the runtime itself; the native build gives the same results (see runtime_text_native.cpp).
#pragma once

namespace pellix {

// atof: leading white space, a sign, decimal digits with an optional point and exponent.
// Neither "inf", "nan" nor hexadecimal ("0x10" reads as 0) is a number.
double RuntimeAtof(const char* text);

}  // namespace pellix

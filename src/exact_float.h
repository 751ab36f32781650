// Included by every file that computes the instances: the files hold the
// results of float and double operations each rounded once to its own type.
// Where a compiler keeps intermediates in wider registers (x87 on 32-bit
// x86), rounding tricks such as adding and taking away 2^52 stop rounding
// and the files change, so such a build must not compile at all.
#ifndef SHEETGEN_EXACT_FLOAT_H_
#define SHEETGEN_EXACT_FLOAT_H_

#include <cfloat>

#if defined(FLT_EVAL_METHOD)
#if FLT_EVAL_METHOD != 0
#error \
    "sheetgen: this build evaluates float and double in excess precision (FLT_EVAL_METHOD is not 0), which changes the generated files. On 32-bit x86 compile with -msse2 -mfpmath=sse (g++, clang++; sheetgen's CMakeLists.txt adds them) or /arch:SSE2 (MSVC)."
#endif
#elif !defined(_MSC_VER)
#error \
    "sheetgen: the compiler does not say how it evaluates floating point (FLT_EVAL_METHOD), so the generated files could differ from those of other builds."
#endif

// MSVC's x87 mode, whatever its FLT_EVAL_METHOD says.
#if defined(_M_IX86) && (!defined(_M_IX86_FP) || _M_IX86_FP < 2)
#error \
    "sheetgen: this build evaluates float and double in x87 excess precision, which changes the generated files. Compile with /arch:SSE2."
#endif

#endif  // SHEETGEN_EXACT_FLOAT_H_

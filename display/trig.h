// trig.h -- sine, cosine, arcsine and arccosine that give the same bits on every platform.
#pragma once

// The C libraries disagree in the last bit (glibc, the mingw-w64 runtime's x87 code, Microsoft's
// CRT), and a last bit can move a pixel. These are our own, computed with double-double
// arithmetic from plain IEEE operations only: correctly rounded except in cases too close to a
// rounding boundary to matter, and therefore equal to glibc's results wherever glibc's are
// correctly rounded. Results for NaN, infinities and |x| > 1 (asin, acos) are NaN.
double trig_sin(double x);
double trig_cos(double x);
double trig_asin(double x);
double trig_acos(double x);

// trig.cpp -- platform-independent sin, cos, asin, acos in double-double arithmetic.
//
// Only IEEE additions, multiplications, divisions, sqrt, floor and fmod are used (all exact or
// correctly rounded on every platform; the build forbids FMA contraction). Each function first
// takes a fast path whose error is far below half an ulp and checks that the rounding is
// decided; the rare undecided case is computed again with ~100 bits by Taylor series.
#include "display/trig.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace {

struct DD {
    double hi, lo;
};

DD two_sum(double a, double b)
{
    const double s = a + b;
    const double bb = s - a;
    return { s, (a - (s - bb)) + (b - bb) };
}

DD fast_two_sum(double a, double b) // |a| >= |b|
{
    const double s = a + b;
    return { s, b - (s - a) };
}

DD two_prod(double a, double b)
{
    const double p = a * b;
    const double ta = 134217729.0 * a, tb = 134217729.0 * b;
    const double ah = ta - (ta - a), al = a - ah;
    const double bh = tb - (tb - b), bl = b - bh;
    return { p, ((ah * bh - p) + ah * bl + al * bh) + al * bl };
}

DD neg(DD x)
{
    return { -x.hi, -x.lo };
}

DD add(DD x, DD y)
{
    DD s = two_sum(x.hi, y.hi);
    const DD t = two_sum(x.lo, y.lo);
    s.lo += t.hi;
    s = fast_two_sum(s.hi, s.lo);
    s.lo += t.lo;
    return fast_two_sum(s.hi, s.lo);
}

DD add(DD x, double b)
{
    DD s = two_sum(x.hi, b);
    s.lo += x.lo;
    return fast_two_sum(s.hi, s.lo);
}

DD mul(DD x, DD y)
{
    DD p = two_prod(x.hi, y.hi);
    p.lo += x.hi * y.lo + x.lo * y.hi;
    return fast_two_sum(p.hi, p.lo);
}

DD mul(DD x, double b)
{
    DD p = two_prod(x.hi, b);
    p.lo += x.lo * b;
    return fast_two_sum(p.hi, p.lo);
}

DD div(DD x, double b)
{
    const double q1 = x.hi / b;
    const DD p = two_prod(q1, b);
    DD s = two_sum(x.hi, -p.hi);
    s.lo = s.lo - p.lo + x.lo;
    return fast_two_sum(q1, (s.hi + s.lo) / b);
}

DD div(DD x, DD y)
{
    const double q1 = x.hi / y.hi;
    DD r = add(x, neg(mul(y, q1)));
    const double q2 = r.hi / y.hi;
    r = add(r, neg(mul(y, q2)));
    const double q3 = r.hi / y.hi;
    return add(fast_two_sum(q1, q2), q3);
}

constexpr DD PI_2 = { 0x1.921fb54442d18p+0, 0x1.1a62633145c07p-54 };
constexpr DD PI = { 0x1.921fb54442d18p+1, 0x1.1a62633145c07p-53 };

// Taylor series to ~100 bits for |r| <= 0.82: r (1 - r^2/(2*3) (1 - r^2/(4*5) (...))).
DD sin_series(DD r)
{
    const DD r2 = mul(r, r);
    DD t = { 1.0, 0.0 };
    for (int n = 27; n >= 3; n -= 2)
        t = add(neg(div(mul(r2, t), double((n - 1) * n))), 1.0);
    return mul(r, t);
}

DD cos_series(DD r)
{
    const DD r2 = mul(r, r);
    DD t = { 1.0, 0.0 };
    for (int n = 26; n >= 2; n -= 2)
        t = add(neg(div(mul(r2, t), double((n - 1) * n))), 1.0);
    return t;
}

// sin and cos of i/64 for the fast kernel, and the arcsine series for first guesses.
constexpr int TABLE_STEPS = 64;
constexpr int TABLE_SIZE = 53; // covers |r| <= 0.8125 > pi/4 plus the reduction's slack
constexpr int ASIN_TERMS = 17;

struct Tables {
    DD sin_at[TABLE_SIZE];
    DD cos_at[TABLE_SIZE];
    double asin_coefficient[ASIN_TERMS];
};

Tables make_tables()
{
    Tables t {};
    for (int i = 0; i < TABLE_SIZE; ++i) {
        const DD a = { double(i) / TABLE_STEPS, 0.0 };
        t.sin_at[i] = sin_series(a);
        t.cos_at[i] = cos_series(a);
    }
    // asin z = sum of (2n)! / (4^n (n!)^2 (2n + 1)) z^(2n+1)
    double central = 1.0; // (2n)! / (4^n (n!)^2)
    for (int n = 0; n < ASIN_TERMS; ++n) {
        t.asin_coefficient[n] = central / double(2 * n + 1);
        central = central * double(2 * n + 1) / double(2 * n + 2);
    }
    return t;
}

const Tables& tables()
{
    static const Tables t = make_tables();
    return t;
}

// sin and cos of r (|r.hi| <= 0.8125) with an error below 2^-66 of the result: the table entry
// for the nearest i/64 plus the angle-sum formulas with short series for the remainder d.
struct SinCos {
    DD sin, cos;
};

SinCos sin_cos_fast(DD r, bool want_sin, bool want_cos)
{
    const bool negative = r.hi < 0.0;
    if (negative)
        r = neg(r);
    const Tables& t = tables();
    const int i = int(std::floor(r.hi * TABLE_STEPS + 0.5));
    const DD d = two_sum(r.hi - double(i) / TABLE_STEPS, r.lo); // the subtraction is exact
    const double d2 = d.hi * d.hi;
    // sin d = d + sm, cos d = 1 + cm; the leading -d^2/2 of cm in double-double.
    const double sm = d.hi * d2 * (-1.0 / 6 + d2 * (1.0 / 120 + d2 * (-1.0 / 5040 + d2 * (1.0 / 362880))));
    const DD square = two_prod(d.hi, d.hi);
    const double cm_tail = d2 * d2 * (1.0 / 24 + d2 * (-1.0 / 720 + d2 * (1.0 / 40320)));
    const DD cm = fast_two_sum(-0.5 * square.hi, -0.5 * square.lo - d.hi * d.lo + cm_tail);
    const DD s = t.sin_at[i], c = t.cos_at[i];
    SinCos result = {};
    if (want_sin) { // sin(a + d) = S + C d + S cm + C sm
        result.sin = add(s, add(add(mul(c, d), mul(s, cm)), c.hi * sm));
        if (negative)
            result.sin = neg(result.sin);
    }
    if (want_cos) // cos(a + d) = C + C cm - S d - S sm
        result.cos = add(c, add(add(mul(c, cm), neg(mul(s, d))), -s.hi * sm));
    return result;
}

DD sin_cos_slow(DD r, bool want_cos)
{
    return want_cos ? cos_series(r) : sin_series(r);
}

// The double nearest to x when an error of `relative` times x cannot change it.
bool rounds_surely(DD x, double relative, double* out)
{
    const double e = std::fabs(x.hi) * relative;
    const double up = x.hi + (x.lo + e), down = x.hi + (x.lo - e);
    *out = up;
    return up == down;
}

constexpr double FAST_ERROR = 0x1p-62; // a generous bound on the fast paths' relative error
constexpr double NOT_A_NUMBER = std::numeric_limits<double>::quiet_NaN();

// x = k pi/2 + r with |r| <= pi/4 (slightly more), r in double-double; the quadrant k mod 4.
DD reduce(double x, int* quadrant)
{
    if (std::fabs(x) <= 0x1.921fb54442d18p-1) {
        *quadrant = 0;
        return { x, 0.0 };
    }
    // pi/2 in four pieces, the first three of at most 33 bits so that k times each is exact
    // for |k| < 2^20. Beyond that the argument is first brought below 2 pi by an exact fmod
    // (the result then differs from the true sine, identically on every platform).
    if (!(std::fabs(x) < 0x1p20))
        x = std::fmod(x, 0x1.921fb54442d18p+2);
    const double k = std::floor(x * 0x1.45f306dc9c883p-1 + 0.5);
    *quadrant = int(int64_t(k) & 3);
    DD r = two_sum(x, -k * 0x1.921fb544p+0);
    r = add(r, -k * 0x1.0b4611a6p-34);
    r = add(r, -k * 0x1.3198a2ep-69);
    return add(r, neg(two_prod(k, 0x1.b839a252049c1p-104)));
}

double sin_or_cos(double x, bool want_cos)
{
    if (!std::isfinite(x))
        return NOT_A_NUMBER;
    if (!want_cos && std::fabs(x) < 0x1p-27)
        return x; // sin x = x (1 - x^2/6): rounds to x, signed zeros included
    int quadrant = 0;
    const DD r = reduce(x, &quadrant);
    // cos(r + k pi/2) and sin(r + k pi/2) in terms of sin r and cos r.
    const int shifted = want_cos ? quadrant + 1 : quadrant;
    const bool use_cos = (shifted & 1) != 0;
    const bool negate = (shifted & 2) != 0;
    double result;
    const SinCos fast = sin_cos_fast(r, !use_cos, use_cos);
    if (!rounds_surely(use_cos ? fast.cos : fast.sin, FAST_ERROR, &result))
        result = sin_cos_slow(r, use_cos).hi;
    return negate ? -result : result;
}

// A first guess at asin z (|z| <= 0.5) from the series, good to about 1e-11.
double asin_guess(double z)
{
    const Tables& t = tables();
    const double z2 = z * z;
    double p = t.asin_coefficient[ASIN_TERMS - 1];
    for (int n = ASIN_TERMS - 2; n >= 0; --n)
        p = p * z2 + t.asin_coefficient[n];
    return z * p;
}

// asin z for 0 <= z <= 0.5 by Newton steps on sin y = z from the guess.
DD asin_small(DD z, bool slow)
{
    DD y = { asin_guess(z.hi), 0.0 };
    if (!slow) {
        const SinCos f = sin_cos_fast(y, true, true);
        return two_sum(y.hi, ((z.hi - f.sin.hi) + (z.lo - f.sin.lo)) / f.cos.hi);
    }
    for (int step = 0; step < 2; ++step)
        y = add(y, div(add(z, neg(sin_series(y))), cos_series(y)));
    return y;
}

// sqrt((1 - a) / 2) for 0.5 <= a <= 1 in double-double (1 - a and the halving are exact).
DD half_complement_sqrt(double a)
{
    const double v = (1.0 - a) * 0.5;
    if (v == 0.0)
        return { 0.0, 0.0 };
    const double s = std::sqrt(v);
    const DD square = two_prod(s, s);
    return fast_two_sum(s, ((v - square.hi) - square.lo) / (2.0 * s));
}

// asin |x| (acos = false) or acos x (acos = true) in double-double, 0 <= |x| <= 1.
DD arc(double x, bool acos, bool slow)
{
    const double a = std::fabs(x);
    if (a <= 0.5) {
        const DD y = asin_small({ a, 0.0 }, slow);
        if (!acos)
            return y;
        return add(PI_2, x < 0.0 ? y : neg(y));
    }
    const DD y2 = mul(asin_small(half_complement_sqrt(a), slow), 2.0);
    if (!acos)
        return add(PI_2, neg(y2)); // asin a = pi/2 - 2 asin sqrt((1 - a)/2)
    return x > 0.0 ? y2 : add(PI, neg(y2)); // acos a = 2 asin ..., acos -a = pi - acos a
}

double arc_rounded(double x, bool acos)
{
    double result;
    if (!rounds_surely(arc(x, acos, false), FAST_ERROR, &result))
        result = arc(x, acos, true).hi;
    return result;
}

} // namespace

double trig_sin(double x)
{
    return sin_or_cos(x, false);
}

double trig_cos(double x)
{
    return sin_or_cos(x, true);
}

double trig_asin(double x)
{
    if (!(std::fabs(x) <= 1.0))
        return NOT_A_NUMBER;
    if (std::fabs(x) < 0x1p-26)
        return x; // asin x = x (1 + x^2/6): rounds to x
    const double y = arc_rounded(x, false);
    return x < 0.0 ? -y : y;
}

double trig_acos(double x)
{
    if (!(std::fabs(x) <= 1.0))
        return NOT_A_NUMBER;
    return arc_rounded(x, true);
}

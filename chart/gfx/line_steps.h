#pragma once
// The steps of a 1-pixel line, Bresenham-style: n = max(|dx|, |dy|) pixels, step i at minor offset
// round-half-up(i * minor / major), the end point excluded. Only the steps whose major coordinate lies
// inside a w × h picture are visited, so far-away end points cost nothing; a step whose minor
// coordinate lies outside is passed over. The canvas draws its lines with it, and whatever keeps the
// pixels of lines elsewhere (the XY view's cover) walks the same steps, so both see the same pixels.

#include <cstdlib>

// visit(i, x, y) for each step i inside the picture, in order.
template <class Visit> void ForEachLineStep(int x0, int y0, int x1, int y1, int w, int h, Visit&& visit) {
    __extension__ typedef __int128 Wide;
    const long long dx = static_cast<long long>(x1) - x0;
    const long long dy = static_cast<long long>(y1) - y0;
    const long long adx = std::llabs(dx), ady = std::llabs(dy);
    const bool xMajor = adx >= ady;
    const long long n = xMajor ? adx : ady;
    if (n == 0) return;
    const long long amaj = n, amin = xMajor ? ady : adx;
    const long long maj0 = xMajor ? x0 : y0, min0 = xMajor ? y0 : x0;
    const int smaj = (xMajor ? dx : dy) < 0 ? -1 : 1;
    const int smin = (xMajor ? dy : dx) < 0 ? -1 : 1;
    const long long majLimit = xMajor ? w : h;
    const long long minLimit = xMajor ? h : w;

    long long iLo = smaj > 0 ? -maj0 : maj0 - (majLimit - 1);
    long long iHi = smaj > 0 ? majLimit - 1 - maj0 : maj0;
    iLo = iLo > 0 ? iLo : 0;
    iHi = iHi < n - 1 ? iHi : n - 1;
    if (iLo > iHi) return;

    const long long twoMaj = 2 * amaj;
    const Wide num = static_cast<Wide>(2) * iLo * amin + amaj;
    long long q = static_cast<long long>(num / twoMaj);
    long long r = static_cast<long long>(num % twoMaj);
    for (long long i = iLo; i <= iHi; ++i) {
        const long long mj = maj0 + smaj * i;
        const long long mn = min0 + smin * q;
        if (mn >= 0 && mn < minLimit)
            visit(i, static_cast<int>(xMajor ? mj : mn), static_cast<int>(xMajor ? mn : mj));
        r += 2 * amin;
        if (r >= twoMaj) {
            r -= twoMaj;
            ++q;
        }
    }
}

// Passes 2 and 3 of the water step fused row by row and done four points at a time with
// SSE2: the divisions and square roots of the normalisations dominate the step, and
// packed they cost what one scalar one does. Every operation keeps the precision and
// order of the point-by-point passes in Water.cpp, so the results are identical.
#include "water/Water.h"

#if defined(__SSE2__)

#include <emmintrin.h>

#include <cmath>

namespace {

constexpr float kSphereCentreY = 20.0f;
constexpr float kSphereRadiusSq = 2500.0f;

inline __m128 Select(__m128 mask, __m128 a, __m128 b) { return _mm_or_ps(_mm_and_ps(mask, a), _mm_andnot_ps(mask, b)); }

// (sqrt(beta^2 + d * k) - beta) * 0.5 with beta^2 rounded to float first and the rest
// in double, as the scalar passes do it (k = -4).
inline __m128 ExitDistance(__m128 beta, __m128 d) {
    const __m128 bb = _mm_mul_ps(beta, beta);
    const __m128d k = _mm_set1_pd(-4.0);
    const __m128d half = _mm_set1_pd(0.5);
    const __m128d bbLo = _mm_cvtps_pd(bb);
    const __m128d bbHi = _mm_cvtps_pd(_mm_movehl_ps(bb, bb));
    const __m128d dLo = _mm_cvtps_pd(d);
    const __m128d dHi = _mm_cvtps_pd(_mm_movehl_ps(d, d));
    const __m128d beLo = _mm_cvtps_pd(beta);
    const __m128d beHi = _mm_cvtps_pd(_mm_movehl_ps(beta, beta));
    const __m128d tLo = _mm_mul_pd(_mm_sub_pd(_mm_sqrt_pd(_mm_add_pd(bbLo, _mm_mul_pd(dLo, k))), beLo), half);
    const __m128d tHi = _mm_mul_pd(_mm_sub_pd(_mm_sqrt_pd(_mm_add_pd(bbHi, _mm_mul_pd(dHi, k))), beHi), half);
    return _mm_movelh_ps(_mm_cvtpd_ps(tLo), _mm_cvtpd_ps(tHi));
}

// (a*a + b*b) + c*c
inline __m128 Dot3(__m128 ax, __m128 ay, __m128 az, __m128 bx, __m128 by, __m128 bz) {
    return _mm_add_ps(_mm_add_ps(_mm_mul_ps(ax, bx), _mm_mul_ps(ay, by)), _mm_mul_ps(az, bz));
}

}  // namespace

void WATERCLASS::VelocityRows() {
    const uint32_t n = 1u << shift;
    const uint32_t mask = n - 1;
    // Heights of the rows above, at and below the current one, padded by a column on
    // each side; the buffers rotate so every row is unpacked once.
    float* up = scratch;
    float* mid = up + n + 2;
    float* dn = mid + n + 2;
    float* const V = dn + n + 2;
    float* const HV = V + n;
    auto unpack = [&](float* dst, uint32_t row) {
        const WATERCELL* src = cells + row * n;
        for (uint32_t c = 0; c < n; ++c) dst[c + 1] = src[c].height;
        dst[0] = dst[n];
        dst[n + 1] = dst[1];
    };
    unpack(up, mask);
    unpack(mid, 0);

    const __m128 vSpeed = _mm_set1_ps(waveSpeed * 0.25f);
    const __m128 vLimit = _mm_set1_ps(0.01f);
    const __m128 vNegLimit = _mm_set1_ps(-0.01f);
    const __m128 vDamp = _mm_set1_ps(0.99f);
    const __m128 vDiag = _mm_set1_ps(0.083333336f);
    const __m128 vEdge = _mm_set1_ps(0.16666667f);
    float sum = 0.0f;
    for (uint32_t r = 0; r < n; ++r) {
        unpack(dn, (r + 1) & mask);
        WATERCELL* const row = cells + r * n;
        for (uint32_t c = 0; c < n; ++c) V[c] = row[c].velocity;
        for (uint32_t c = 0; c < n; c += 4) {
            __m128 v = _mm_loadu_ps(V + c);
            const __m128 moving = _mm_or_ps(_mm_cmpgt_ps(v, vLimit), _mm_cmplt_ps(v, vNegLimit));
            v = Select(moving, _mm_mul_ps(v, vDamp), v);
            const __m128 u0 = _mm_loadu_ps(up + c), u1 = _mm_loadu_ps(up + c + 1), u2 = _mm_loadu_ps(up + c + 2);
            const __m128 m0 = _mm_loadu_ps(mid + c), h = _mm_loadu_ps(mid + c + 1), m2 = _mm_loadu_ps(mid + c + 2);
            const __m128 d0 = _mm_loadu_ps(dn + c), d1 = _mm_loadu_ps(dn + c + 1), d2 = _mm_loadu_ps(dn + c + 2);
            const __m128 diagonal = _mm_mul_ps(_mm_add_ps(_mm_add_ps(_mm_add_ps(u0, u2), d0), d2), vDiag);
            const __m128 edge = _mm_mul_ps(_mm_add_ps(_mm_add_ps(_mm_add_ps(u1, m0), m2), d1), vEdge);
            v = _mm_add_ps(_mm_mul_ps(vSpeed, _mm_sub_ps(_mm_add_ps(diagonal, edge), h)), v);
            _mm_storeu_ps(V + c, v);
            _mm_storeu_ps(HV + c, _mm_add_ps(h, v));
        }
        // The mean is summed point by point in order, as a running float.
        for (uint32_t c = 0; c < n; ++c) {
            row[c].velocity = V[c];
            sum += HV[c];
        }
        float* const spare = up;
        up = mid;
        mid = dn;
        dn = spare;
    }
    meanHeight = sum / static_cast<float>(numVerts);
}

void WATERCLASS::SurfaceAndCausticRows(const VECTOR3D& eye, const VECTOR3D& light, bool caustics, float level) {
    FillTable();
    const uint32_t n = 1u << shift;
    const uint32_t mask = n - 1;
    const float step = size / static_cast<float>(n - 1);
    const float start = -0.5f * size;
    const float mean = meanHeight;
    const bool bend = refraction;
    const bool smallGrid = shift <= 5;

    // Working rows. HP[c + 1] is the new height of column c and HP[0] the old height of
    // column N-1 (the left neighbour of column 0 has not moved yet); OP[c] is the old
    // height of column c and OP[N] the new one of column 0 (the right neighbour of the
    // last column has). U and D hold the rows above and below, padded by one column on
    // each side. Caustic rows carry one leading pad so the cell to the left reads in range.
    float* const X = scratch;
    float* const U = X + n;
    float* const D = U + n + 2;
    float* const HP = D + n + 2;
    float* const OP = HP + n + 1;
    float* const NX = OP + n + 1;
    float* const NY = NX + n;
    float* const NZ = NY + n;
    float* const CA = NZ + n;
    float* const CB = CA + n;
    float* cxPrev = CB + n + 1;
    float* czPrev = cxPrev + n + 1;
    float* cxCur = czPrev + n + 1;
    float* czCur = cxCur + n + 1;
    alignas(16) float sBuf[4], tBuf[4];
    alignas(16) int32_t bucket[4];

    uint32_t shade[9];
    for (int k = 0; k < 8; ++k) shade[k] = Table[k];
    shade[8] = 0;

    float x = start;
    for (uint32_t c = 0; c < n; ++c) {
        X[c] = x;
        x += step;
    }

    const __m128 vEyeX = _mm_set1_ps(eye.x), vEyeY = _mm_set1_ps(eye.y), vEyeZ = _mm_set1_ps(eye.z);
    const __m128 vLx = _mm_set1_ps(light.x), vLy = _mm_set1_ps(light.y), vLz = _mm_set1_ps(light.z);
    const __m128 vRa = _mm_set1_ps(refract[10].a), vRb = _mm_set1_ps(refract[10].b);
    const __m128 vRadiusSq = _mm_set1_ps(sphereRadiusSq);
    const __m128 vSphereSq = _mm_set1_ps(kSphereRadiusSq);
    const __m128 vCentreY = _mm_set1_ps(kSphereCentreY);
    const __m128 vInv = _mm_set1_ps(invSize);
    const __m128 vLevel = _mm_set1_ps(level);
    const __m128 vHalf = _mm_set1_ps(0.5f);
    const __m128 vOne = _mm_set1_ps(1.0f);
    const __m128 vTwo = _mm_set1_ps(2.0f);
    const __m128 vFive = _mm_set1_ps(5.0f);
    const __m128 vFour = _mm_set1_ps(4.0f);
    const __m128 vEight = _mm_set1_ps(8.0f);
    const __m128 vZero = _mm_setzero_ps();
    const __m128 vAbs = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    const __m128d vPoint3 = _mm_set1_pd(0.3);

    float z = start;
    for (uint32_t r = 0; r < n; ++r) {
        WATERCELL* const mid = cells + r * n;
        const WATERCELL* const up = cells + ((r - 1) & mask) * n;
        const WATERCELL* const dn = cells + ((r + 1) & mask) * n;

        for (uint32_t c = 0; c < n; ++c) {
            U[c + 1] = up[c].height;
            D[c + 1] = dn[c].height;
        }
        U[0] = U[n];
        U[n + 1] = U[1];
        D[0] = D[n];
        D[n + 1] = D[1];

        HP[0] = mid[n - 1].height;
        for (uint32_t c = 0; c < n; ++c) {
            const float old = mid[c].height;
            const float h = old + mid[c].velocity - mean;
            mid[c].height = h;
            OP[c] = old;
            HP[c + 1] = h;
        }
        OP[n] = HP[1];

        const __m128 vz = _mm_set1_ps(z);
        WATERVERTEX* const out = vertices + r * n;
        for (uint32_t c = 0; c < n; c += 4) {
            const __m128 u0 = _mm_loadu_ps(U + c), u1 = _mm_loadu_ps(U + c + 1), u2 = _mm_loadu_ps(U + c + 2);
            const __m128 d0 = _mm_loadu_ps(D + c), d1 = _mm_loadu_ps(D + c + 1), d2 = _mm_loadu_ps(D + c + 2);
            const __m128 left = _mm_loadu_ps(HP + c);
            const __m128 right = _mm_loadu_ps(OP + c + 1);
            const __m128 h = _mm_loadu_ps(HP + c + 1);
            const __m128 a1 = _mm_sub_ps(u0, d2);
            const __m128 a2 = _mm_sub_ps(u2, d0);
            __m128 nx = _mm_add_ps(_mm_sub_ps(a1, a2), _mm_sub_ps(left, right));
            __m128 nz = _mm_add_ps(_mm_add_ps(a1, _mm_sub_ps(u1, d1)), a2);
            const __m128 len = _mm_sqrt_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(nx, nx), vOne), _mm_mul_ps(nz, nz)));
            nx = _mm_div_ps(nx, len);
            const __m128 ny = _mm_div_ps(vOne, len);
            nz = _mm_div_ps(nz, len);
            _mm_storeu_ps(NX + c, nx);
            _mm_storeu_ps(NY + c, ny);
            _mm_storeu_ps(NZ + c, nz);

            const __m128 px = _mm_loadu_ps(X + c);
            const __m128 py = _mm_mul_ps(vFive, h);
            const __m128 qy = _mm_sub_ps(py, vCentreY);
            const __m128 d = bend ? _mm_sub_ps(Dot3(px, qy, vz, px, qy, vz), vRadiusSq) : vRadiusSq;
            const __m128 inside = _mm_cmplt_ps(d, vZero);
            __m128 s = _mm_add_ps(_mm_mul_ps(px, vInv), vHalf);
            __m128 t = _mm_add_ps(_mm_add_ps(_mm_mul_ps(vz, vInv), vLevel), vHalf);
            if (_mm_movemask_ps(inside) != 0) {
                __m128 ex = _mm_sub_ps(vEyeX, px), ey = _mm_sub_ps(vEyeY, py), ez = _mm_sub_ps(vEyeZ, vz);
                const __m128 elen = _mm_sqrt_ps(Dot3(ex, ey, ez, ex, ey, ez));
                const __m128 nonzero = _mm_cmpneq_ps(elen, vZero);
                ex = Select(nonzero, _mm_div_ps(ex, elen), ex);
                ey = Select(nonzero, _mm_div_ps(ey, elen), ey);
                ez = Select(nonzero, _mm_div_ps(ez, elen), ez);
                const __m128 rx = _mm_mul_ps(vRb, _mm_add_ps(_mm_mul_ps(vRa, nx), ex));
                const __m128 ry = _mm_mul_ps(vRb, _mm_add_ps(_mm_mul_ps(vRa, ny), ey));
                const __m128 rz = _mm_mul_ps(vRb, _mm_add_ps(_mm_mul_ps(vRa, nz), ez));
                const __m128 beta = _mm_mul_ps(vTwo, Dot3(rx, ry, rz, px, qy, vz));
                const __m128 exit = ExitDistance(beta, d);
                const __m128 bs = _mm_add_ps(_mm_mul_ps(_mm_add_ps(_mm_mul_ps(rx, exit), px), vInv), vHalf);
                const __m128 bt =
                    _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_add_ps(_mm_mul_ps(rz, exit), vz), vInv), vLevel), vHalf);
                s = Select(inside, bs, s);
                t = Select(inside, bt, t);
            }
            _mm_store_ps(sBuf, s);
            _mm_store_ps(tBuf, t);
            alignas(16) float xs[4], ys[4], nxs[4], nys[4], nzs[4];
            _mm_store_ps(xs, px);
            _mm_store_ps(ys, py);
            _mm_store_ps(nxs, nx);
            _mm_store_ps(nys, ny);
            _mm_store_ps(nzs, nz);
            for (int k = 0; k < 4; ++k) {
                WATERVERTEX& v = out[c + k];
                v.x = xs[k];
                v.y = ys[k];
                v.z = z;
                v.nx = nxs[k];
                v.ny = nys[k];
                v.nz = nzs[k];
                v.s = sBuf[k];
                v.t = tBuf[k];
            }
        }

        if (caustics) {
            for (uint32_t c = 0; c < n; ++c) {
                int i = static_cast<int>(255.0 * static_cast<double>(NY[c]));
                i = i < 0 ? 0 : (i > 255 ? 255 : i);
                CA[c] = refract[i].a;
                CB[c] = refract[i].b;
            }
            CAUSTICVERTEX* const cv = causticVerts + r * n;
            const bool haveAbove = r >= 1;
            for (uint32_t c = 0; c < n; c += 4) {
                const __m128 px = _mm_loadu_ps(X + c);
                const __m128 h = _mm_loadu_ps(HP + c + 1);
                const __m128 qy = _mm_sub_ps(_mm_mul_ps(vFive, h), vCentreY);
                const __m128 d = _mm_sub_ps(Dot3(px, qy, vz, px, qy, vz), vSphereSq);
                const __m128 inside = _mm_cmplt_ps(d, vZero);
                const __m128 a = _mm_loadu_ps(CA + c), b = _mm_loadu_ps(CB + c);
                const __m128 nx = _mm_loadu_ps(NX + c), ny = _mm_loadu_ps(NY + c), nz = _mm_loadu_ps(NZ + c);
                const __m128 rx = _mm_mul_ps(b, _mm_add_ps(_mm_mul_ps(a, nx), vLx));
                const __m128 ry = _mm_mul_ps(b, _mm_add_ps(_mm_mul_ps(a, ny), vLy));
                const __m128 rz = _mm_mul_ps(b, _mm_add_ps(_mm_mul_ps(a, nz), vLz));
                const __m128 beta = _mm_mul_ps(vTwo, Dot3(rx, ry, rz, px, qy, vz));
                const __m128 exit = ExitDistance(beta, d);
                const __m128 cx = Select(inside, _mm_add_ps(px, _mm_mul_ps(rx, exit)), px);
                const __m128 cz = Select(inside, _mm_add_ps(vz, _mm_mul_ps(rz, exit)), vz);
                _mm_storeu_ps(cxCur + c, cx);
                _mm_storeu_ps(czCur + c, cz);
                if (haveAbove) {
                    // Corners (row-1, col-1) and (row-1, col); column 0 reads the pad and
                    // is overwritten from column N-1 below.
                    const __m128 p1x = _mm_loadu_ps(cxPrev + c - 1), p1z = _mm_loadu_ps(czPrev + c - 1);
                    const __m128 p2x = _mm_loadu_ps(cxPrev + c), p2z = _mm_loadu_ps(czPrev + c);
                    __m128 area = _mm_and_ps(_mm_sub_ps(_mm_mul_ps(_mm_sub_ps(p1x, cx), _mm_sub_ps(p2z, cz)),
                                                        _mm_mul_ps(_mm_sub_ps(p1z, cz), _mm_sub_ps(p2x, cx))),
                                             vAbs);
                    if (smallGrid) {
                        const __m128d lo = _mm_mul_pd(_mm_cvtps_pd(area), vPoint3);
                        const __m128d hi = _mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(area, area)), vPoint3);
                        area = _mm_movelh_ps(_mm_cvtpd_ps(lo), _mm_cvtpd_ps(hi));
                    }
                    // Buckets 0..7 light the cell; 8 and above (and overflow) leave it dark.
                    const __m128 q = _mm_mul_ps(_mm_mul_ps(area, area), vFour);
                    const __m128i lit = _mm_castps_si128(_mm_cmplt_ps(q, vEight));
                    const __m128i idx =
                        _mm_or_si128(_mm_and_si128(lit, _mm_cvttps_epi32(q)), _mm_andnot_si128(lit, _mm_set1_epi32(8)));
                    _mm_store_si128(reinterpret_cast<__m128i*>(bucket), idx);
                    for (int k = 0; k < 4; ++k) cv[c + k].intensity = shade[bucket[k]];
                }
            }
            for (uint32_t c = 0; c < n; ++c) {
                cv[c].x = cxCur[c];
                cv[c].y = 0.0f;
                cv[c].z = czCur[c];
            }
            cv[0].intensity = cv[n - 1].intensity;
            float* swap = cxPrev;
            cxPrev = cxCur;
            cxCur = swap;
            swap = czPrev;
            czPrev = czCur;
            czCur = swap;
        }
        z += step;
    }
    if (caustics) {
        const CAUSTICVERTEX* last = causticVerts + (n - 1) * n;
        for (uint32_t c = 0; c < n; ++c) causticVerts[c].intensity = last[c].intensity;
    }
}

#endif  // __SSE2__

// Background wobble grid: 11 x 13 points 16 units apart, interior points on springs to
// their eight neighbours. The border is fixed; nothing damps the motion.
#include "water/Background.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdlib>

void BACKGROUND::InitWobble() {
    spacing = 16;
    static const float kRest[3][3] = {
        {0.0f, 16.0f, 32.0f},
        {16.0f, 22.627424f, 35.777088f},
        {32.0f, 35.777088f, 45.254848f},
    };
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) restLength[i][j] = kRest[i][j];

    // The phases run on from one grid to the next (one set per process), so the views
    // of several screens start from different shapes.
    static float p1 = 0.0f, p2 = 0.0f, p3 = 0.0f, p4 = 0.0f;
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kColumns; ++c) {
            const float fr = static_cast<float>(r);
            const float fc = static_cast<float>(c);
            p1 += 0.081f;
            p2 += 0.083f;
            p3 += 0.085f;
            p4 += 0.087f;
            WOBBLEPOINT& p = At(c, r);
            const bool border = c == 0 || c == kColumns - 1 || r == 0 || r == kRows - 1;
            if (border) {
                p.x = 16.0f * fc;
                p.y = 16.0f * fr;
            } else {
                p.x = static_cast<float>(
                    16.0 * fc + 0.5 * (std::sin(p3 - fc) + std::cos(p3 + fr) + std::sin(p1 - fr) - std::cos(p1 + fc)));
                p.y = static_cast<float>(
                    16.0 * fr + 0.5 * (std::sin(p2 - fc) + std::cos(p4 + fr) + std::sin(p4 - fr) - std::cos(p2 + fc)));
            }
            p.vx = 0.0f;
            p.vy = 0.0f;
        }
    }
}

void BACKGROUND::RelaxWobble(double step) {
    // Each spring pushes the neighbour: away from P when compressed, towards it when
    // stretched. Border neighbours collect velocity too but are never moved.
    for (int r = 1; r < kRows - 1; ++r) {
        for (int c = 1; c < kColumns - 1; ++c) {
            const WOBBLEPOINT& p = At(c, r);
            for (int dr = -1; dr <= 1; ++dr) {
                for (int dc = -1; dc <= 1; ++dc) {
                    if (dr == 0 && dc == 0) continue;
                    WOBBLEPOINT& q = At(c + dc, r + dr);
                    const float dx = q.x - p.x;
                    const float dy = q.y - p.y;
                    const float dist = std::sqrt(dx * dx + dy * dy);
                    const double f =
                        (static_cast<double>(restLength[std::abs(dc)][std::abs(dr)]) - dist) * step * 0.001;
                    q.vx = static_cast<float>(q.vx + dx * f);
                    q.vy = static_cast<float>(q.vy + dy * f);
                }
            }
        }
    }
    for (int r = 1; r < kRows - 1; ++r) {
        for (int c = 1; c < kColumns - 1; ++c) {
            WOBBLEPOINT& p = At(c, r);
            p.x += p.vx;
            p.y += p.vy;
        }
    }
}

void BACKGROUND::Draw(int width, int height, float /*level*/, double /*time*/) {
    glPushMatrix();
    glScalef(static_cast<float>(width / 160.0), static_cast<float>(height / 160.0), 1.0f);
    for (int r = 0; r < kRows - 2; ++r) {
        glBegin(GL_TRIANGLE_STRIP);
        for (int c = 0; c < kColumns; ++c) {
            const WOBBLEPOINT& a = At(c, r);
            const WOBBLEPOINT& b = At(c, r + 1);
            glTexCoord2f(0.1f * c, 0.1f * r);
            glVertex3f(a.x, a.y, 0.0f);
            glTexCoord2f(0.1f * c, 0.1f * (r + 1));
            glVertex3f(b.x, b.y, 0.0f);
        }
        glEnd();
    }
    glPopMatrix();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

// The background picture drawn as a grid of textured strips whose interior points swing
// on springs about their rest places, so the picture behind the tank slowly wobbles.
// Pure geometry plus immediate-mode GL; the caller binds the picture's texture.
#pragma once

struct WOBBLEPOINT {
    float x, y;    // grid units
    float vx, vy;  // grid units per step
};

class BACKGROUND {
public:
    static constexpr int kColumns = 11;
    static constexpr int kRows = 13;

    // Rest places, lightly displaced interior points, zero velocities.
    void InitWobble();
    // One spring step (step in seconds enters only the force); no damping.
    void RelaxWobble(double step);
    // Rows 0 to 11 as strips, scaled so 160 grid units span width and height pixels
    // (so the drawn grid reaches 1.1 x height). level and time are not used.
    void Draw(int width, int height, float level, double time);

    // Column-major: point (c, r) is points[c * kRows + r].
    WOBBLEPOINT& At(int c, int r) { return points[c * kRows + r]; }
    const WOBBLEPOINT& At(int c, int r) const { return points[c * kRows + r]; }

    WOBBLEPOINT points[kColumns * kRows] = {};
    int spacing = 16;
    float restLength[3][3] = {};
};

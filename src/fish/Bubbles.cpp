// The bubble pool: a wandering emitter on the tank floor puffs small groups of bubbles
// that wobble upwards and vanish at the water line. Leans on AQUARIUM's pool fields.
#include "fish/Bubbles.h"

#include <GL/gl.h>

#include <cstdlib>

#include "fish/Aquarium.h"

void ONEPARTICLE::Reset(VECTOR3D at) {
    int r1 = rand();
    int r2 = rand();
    int r3 = rand();
    // Jitter of -0.5 to 0.45 units on each axis.
    position.x = at.x + (float)((r3 % 20 - 10) / 20.0);
    position.y = at.y + (float)((r2 % 20 - 10) / 20.0);
    position.z = at.z + (float)((r1 % 20 - 10) / 20.0);
    velocity = VECTOR3D{0.0f, 5.0f, 0.0f};
    speedScale = 1.0f;
    halfSize = (float)((rand() % 20) / -100.0 + 0.3);  // 0.11 to 0.30
    active = true;
}

void AQUARIUM::AddBubbles(int count, VECTOR3D at) {
    int started = 0;
    for (int i = 0; i < MAX_BUBBLES && started < count; i++) {
        if (bubbles[i].active) continue;
        bubbles[i].Reset(at);
        started++;
    }
}

void AQUARIUM::MoveBubbles(float dt, float level) {
    for (int i = 0; i < MAX_BUBBLES; i++) {
        ONEPARTICLE& b = bubbles[i];
        if (!b.active) continue;
        // The water line at the bubble's depth: the fish ceiling without a radius.
        float waterLine = (float)(80.0 * level - 40.5 + (22.0 - 44.0 * level) * (32.0 + b.position.z) / 64.0);
        int r1 = rand();
        int r2 = rand();
        int r3 = rand();
        // Wobble of -2 to 2 units a second across, -1 to 1 up, on top of the base velocity.
        double dz = ((r1 % 41 - 20) / 10.0 + b.velocity.z) * b.speedScale * dt;
        double dy = ((r2 % 41 - 20) / 20.0 + b.velocity.y) * b.speedScale * dt;
        double dx = ((r3 % 41 - 20) / 10.0 + b.velocity.x) * b.speedScale * dt;
        b.position.x += (float)dx;
        b.position.y += (float)dy;
        b.position.z += (float)dz;
        if (b.position.y > waterLine) b.active = false;
    }

    sourceTimer -= dt;
    if (sourceTimer < 0.0f) {
        emitting = !emitting;
        int r4 = rand();
        int r5 = rand();
        // On the floor, below the swimming zone, so the bubbles rise into view.
        bubbleSource = VECTOR3D{(float)(r5 % 40 - 20), -45.0f, (float)(r4 % 30 - 15)};
        sourceTimer = (float)((rand() % 200) / 10.0);  // 0 to 19.9 seconds
    }

    if (emitting) {
        emitTimer -= dt;
        if (emitTimer < 0.0f) {
            emitTimer = (float)((rand() % 40) / 100.0 + 0.05);  // 0.05 to 0.44 seconds
            int count = rand() % 4 + 1;
            AddBubbles(count, bubbleSource);
        }
    }
}

void AQUARIUM::DrawBubbles() {
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glDisable(GL_LIGHTING);
    // Overlapping bubbles blend in any order, so none writes depth.
    glDepthMask(GL_FALSE);
    glBindTexture(GL_TEXTURE_2D, bubbleTexture);

    // White at full brightness; while the scene fades for the title card the bubbles
    // darken with the fish instead of floating bright over a black screen.
    const float c = bubbleBrightness < 0.0f ? 0.0f : (bubbleBrightness > 1.0f ? 1.0f : bubbleBrightness);
    glBegin(GL_QUADS);
    for (int i = 0; i < MAX_BUBBLES; i++) {
        const ONEPARTICLE& b = bubbles[i];
        if (!b.active) continue;
        const float x = b.position.x, y = b.position.y, z = b.position.z, h = b.halfSize;
        glColor4f(c, c, c, 1.0f);
        glTexCoord2f(1.0f, 0.0f);
        glVertex3f(x + h, y - h, z);
        glTexCoord2f(1.0f, 1.0f);
        glVertex3f(x + h, y + h, z);
        glTexCoord2f(0.0f, 1.0f);
        glVertex3f(x - h, y + h, z);
        glTexCoord2f(0.0f, 0.0f);
        glVertex3f(x - h, y - h, z);
    }
    glEnd();

    glEnable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

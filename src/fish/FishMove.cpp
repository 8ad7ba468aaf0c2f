// The behaviour of one fish per frame: speed easing, collisions, staying in view, the
// water-line ceiling, the front and back walls, targets and legs, resting, turning with
// limited rate and pitch, the eyes and the skinning. World units, seconds, degrees.
// Leans on the view volume (math/GLStuff.h) the scene computes from its camera each frame.
#include <cmath>
#include <cstdlib>

#include "fish/FishData.h"
#include "fish/Fish.h"
#include "math/GLStuff.h"

float ONEFISH::Radius() const { return fishData ? fishData->extent : 0.0f; }

void ONEFISH::Move(ONEFISH* all, long count, float level, float dt, bool stayOnScreen, const FRUSTUM& view) {
    if (!fishData || !vertexBuffer) return;
    const FISHDATA* d = fishData;

    // 1. Ease speed and the speed factor; a leaving fish changes pace three times as fast.
    if (!leaving) {
        speedFactor += (wantedFactor - speedFactor) * dt;
        currentSpeed += scale * (scale * cruiseSpeed - currentSpeed) * dt;
    } else {
        speedFactor = (float)(speedFactor + (wantedFactor - speedFactor) * dt * 3.0);
        currentSpeed = (float)(currentSpeed + (scale * cruiseSpeed - currentSpeed) * dt * 3.0);
    }

    if (action == FISH_CRUISING) {
        speed = d->animSpeed * speedFactor;
        cruiseSpeed = d->swimSpeed * speedFactor;

        if (Advance(all, count, level, dt, stayOnScreen, view) && !leaving) target = RoamingTarget(level);

        if (!leaving && !view.SphereIn(target, 5.0f)) target = RoamingTarget(level);

        TurnToTarget(d->turnRate * speedFactor, dt);

        actionTimer -= dt;
        double d2 = DistanceBetweenVectors(position, target);
        bool newLeg;
        if (actionTimer < 0.0f) {
            newLeg = true;
        } else if (leaving) {
            newLeg = false;
        } else {
            // Target reached: within 10 units at the default size.
            double s = d->size * 0.5 + 0.5;
            if (d2 < s * (s * 10.0 * 10.0))
                newLeg = true;
            else
                newLeg = !view.SphereIn(position, 5.0f);  // strayed out of view
        }
        if (newLeg) {
            actionTimer = 20.0f;
            leaving = false;
            target = RoamingTarget(level);
            wantedFactor = (float)((rand() % 200) / 100.0 + 0.5);  // 0.5 to 2.49
            if (rand() % 30 == 1 && view.SphereIn(position, 10.0f)) SetAction(FISH_RESTING);
        }
    } else if (action == FISH_RESTING) {
        // Coast to a stop through the speed easing; no turning while resting.
        if (cruiseSpeed > 0.0f)
            cruiseSpeed -= dt;
        else
            cruiseSpeed = 0.0f;

        if (Advance(all, count, level, dt, stayOnScreen, view)) actionTimer = 0.0f;  // a wall wakes it

        actionTimer -= dt;
        if (actionTimer < 0.0f) SetAction(FISH_CRUISING);
    }

    Pose(dt);
}

bool ONEFISH::Advance(ONEFISH* all, long count, float level, float dt, bool stayOnScreen, const FRUSTUM& view) {
    const float R = Radius();
    VECTOR3D before = position;
    CheckCollision(all, count, dt);
    position += direction * (currentSpeed * dt);
    if (stayOnScreen) KeepInView(before, R, view);

    double ceiling = Ceiling(level, R, position.z);
    if (position.y > ceiling) position.y = (float)ceiling;

    if (position.z < -32.0f)
        position.z = -32.0f;
    else if (position.z > 32.0f)
        position.z = 32.0f;
    else
        return false;
    return true;
}

void ONEFISH::KeepInView(VECTOR3D before, float radius, const FRUSTUM& view) {
    // A negative radius asks whether the whole fish is inside the view.
    if (!onScreen) {
        onScreen = view.SphereIn(position, -radius);
        return;
    }
    if (view.SphereIn(position, -radius)) return;

    target = CentralTarget();
    // Undo only the axes whose move alone would take the fish over the edge.
    VECTOR3D moved = position;
    if (!view.SphereIn(VECTOR3D{moved.x, before.y, before.z}, -radius)) position.x = before.x;
    if (!view.SphereIn(VECTOR3D{before.x, moved.y, before.z}, -radius)) position.y = before.y;
    if (!view.SphereIn(VECTOR3D{before.x, before.y, moved.z}, -radius)) position.z = before.z;
}

void ONEFISH::Pose(float dt) {
    RevertPoints(joints);
    Animate(dt);
    Eyes(dt);
    UpdateSkeleton();
    UpdatePoints(joints);
}

void ONEFISH::Eyes(float dt) {
    const int left = fishData->eyeLeftJoint;
    const int right = fishData->eyeRightJoint;
    if (left <= 0 || right <= 0 || left >= numJoints || right >= numJoints || !joints) return;

    // The eyes dart to a new direction in the 0.2 s after the timer runs out, then hold.
    eyeTimer -= dt;
    if ((double)eyeTimer < -0.2) {
        eyeTimer = (float)((rand() % 50) / 10.0 + 0.1);  // 0.1 to 5.0 seconds
        int r1 = rand();
        int r2 = rand();
        eyeTarget = VECTOR3D{0.0f, (float)(r2 % 41 - 20), (float)(r1 % 41 - 20)};
    } else if (eyeTimer < 0.0f) {
        eyeAngles.x += (eyeTarget.x - eyeAngles.x) * dt * 10.0f;
        eyeAngles.y += (eyeTarget.y - eyeAngles.y) * dt * 10.0f;
        eyeAngles.z += (eyeTarget.z - eyeAngles.z) * dt * 10.0f;
        eyeMatrix = MatrixFromAngle(eyeAngles);
    }
    // The right eye mirrors the left.
    joints[left].animMatrix = eyeMatrix;
    joints[right].animMatrix = TransposeMatrix(eyeMatrix);
}

void ONEFISH::TurnToTarget(float rate, float dt) {
    // A target ahead lies at negative local z (the vector points from target to fish).
    VECTOR3D rel = RelativeDest(target);

    turnWanted.y = rel.x > 0.0f ? -rate : rate;
    turnWanted.x = rel.y > 0.0f ? -rate : rate;
    turnWanted.z = 0.0f;

    if (rel.z < 0.0f) {
        // rel has length 100: 5 and 15 are sines of about 2.9 and 8.6 degrees.
        if (std::fabs(rel.x) < 5.0f)
            turnWanted.y = 0.0f;
        else if (std::fabs(rel.x) < 15.0f)
            turnWanted.y *= 0.5f;
        if (std::fabs(rel.y) < 5.0f)
            turnWanted.x = 0.0f;
        else if (std::fabs(rel.y) < 15.0f)
            turnWanted.x *= 0.5f;
    }

    // Pitching further the same way slows down past 30 degrees and stops past 40.
    if ((angles.x > 0.0f && turnWanted.x > 0.0f) || (angles.x < 0.0f && turnWanted.x < 0.0f)) {
        float pitch = std::fabs(angles.x);
        if (pitch > 40.0f)
            turnWanted.x = 0.0f;
        else if (pitch > 35.0f)
            turnWanted.x *= 0.25f;
        else if (pitch > 30.0f)
            turnWanted.x *= 0.5f;
    }

    turnVelocity.x += (turnWanted.x - turnVelocity.x) * dt;
    turnVelocity.y += (turnWanted.y - turnVelocity.y) * dt;
    turnVelocity.z += (turnWanted.z - turnVelocity.z) * dt;
    angles.x += turnVelocity.x * dt;
    angles.y += turnVelocity.y * dt;
    angles.z += turnVelocity.z * dt;

    float* wrap[3] = {&angles.y, &angles.x, &angles.z};
    for (float* a : wrap) {
        if (*a < -360.0f) *a += 360.0f;
        if (*a > 360.0f) *a -= 360.0f;
    }
    if (angles.x > 45.0f) angles.x = 45.0f;
    if (angles.x < -45.0f) angles.x = -45.0f;

    orientation = MatrixFromAngle(angles);
    direction = MatrixPointMultiply(orientation, VECTOR3D{0.0f, 0.0f, 1.0f});
}

VECTOR3D ONEFISH::RelativeDest(VECTOR3D point) const {
    VECTOR3D local = MatrixInverseRotatePoint(orientation, position - point);
    local.Normalize();
    return local * 100.0f;
}

bool ONEFISH::CheckCollision(ONEFISH* all, long count, float dt) {
    if (!all) return false;
    const VECTOR3D ahead = position + direction * (currentSpeed * dt);
    for (long j = 0; j < count; j++) {
        ONEFISH& other = all[j];
        if (&other == this || other.action <= 0 || !other.fishData) continue;

        VECTOR3D otherAhead = other.position + other.direction * (other.currentSpeed * dt);
        float d2 = (float)DistanceBetweenVectors(ahead, otherAhead);
        float reach = Radius() * scale + other.Radius() * other.scale;

        if (d2 < 0.75 * reach * reach * 0.75) {
            position += (position - other.position) * (dt * 0.5f);
            if (!leaving) {
                // Far points on opposite sides of the line through both fish.
                target = (position - other.position) * 15.0f;
                other.target = (other.position - position) * 15.0f;
                wantedFactor = (float)((rand() % 10) / 10.0 + 2.5);  // 2.5 to 3.4: dart away
                actionTimer = 3.0f;
            }
            return false;
        }
        if (d2 < 1.5 * reach * 1.5 * reach && action == FISH_RESTING) actionTimer = 0.0f;
    }
    return false;
}

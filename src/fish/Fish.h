// ONEFISH: one fish in the tank, a model instance (ONEMODEL) of its species plus its
// steering state. Fish.cpp: construction, filling from the species, drawing, Reset and
// SetAction; FishMove.cpp: the per-frame behaviour (speed, collisions, ceiling, walls,
// staying in view, targets, resting, eyes). Leans on model/ModelMain.h, fish/FishData.h
// and the view-volume tests of math/GLStuff.h.
#pragma once

#include "math/GLStuff.h"
#include "math/NiftyMaths.h"
#include "model/ModelMain.h"

struct FISHDATA;

// Actions of a fish.
enum {
    FISH_WAITING = 0,  // not yet in the tank: neither moved nor drawn
    FISH_CRUISING = 1,
    FISH_RESTING = 2
};

class ONEFISH : public ONEMODEL {
public:
    ONEFISH();
    // A fish filled from a species gives back the borrowed groups and indices first.
    ~ONEFISH();
    ONEFISH(const ONEFISH&) = delete;
    ONEFISH& operator=(const ONEFISH&) = delete;

    // Fills the fish from its species: own joints, materials (a random skin each) and a
    // private copy of the vertex buffer; groups and indices are the prototype's. False
    // (the fish stays empty) when the data is incomplete or memory runs out.
    bool SetupFromFishData(FISHDATA* data);
    // Gives back what the species lent and frees what the fish owns; safe to repeat.
    void Release();

    // Draws the fish at position and orientation; in the caustic pass no texture is bound.
    void Draw(bool causticPass);
    void DrawGroup(int group, bool causticPass);

    // Entry point below the swimming zone; the fish waits (action 0).
    void Reset();
    void SetAction(int newAction);
    // One frame: all/count is the tank's fish array, level the water level 0..1, dt the
    // frame time in seconds, view the camera's view volume.
    void Move(ONEFISH* all, long count, float level, float dt, bool stayOnScreen, const FRUSTUM& view);
    // Turns towards target at rate degrees per second.
    void TurnToTarget(float rate, float dt);
    // Direction from point to the fish in the fish's own frame, length 100.
    VECTOR3D RelativeDest(VECTOR3D point) const;
    // Pushes this fish away from the first active fish it is about to touch; always false.
    bool CheckCollision(ONEFISH* all, long count, float dt);

    // Random targets (world units). Roaming: anywhere across the tank at a target height;
    // central: within 20 units of the origin on every axis.
    static VECTOR3D RoamingTarget(float level);
    static VECTOR3D CentralTarget();
    // Height of a random target for water level L: -35 up to 60 L - 35.
    static float TargetHeight(float level);
    // Highest y the fish's centre may reach at depth z (the water line less its radius).
    static double Ceiling(float level, float radius, float z);

    VECTOR3D target;
    int32_t action;
    VECTOR3D turnVelocity;  // degrees per second about x, y, z
    VECTOR3D turnWanted;    // degrees per second
    float currentSpeed;     // units per second
    float cruiseSpeed;      // units per second, before scale
    float speedFactor;
    float wantedFactor;
    float actionTimer;   // seconds left in the leg or the rest
    bool onScreen;       // wholly in view at least once since the last Reset
    bool leaving;        // swimming out of view with the school
    FISHDATA* fishData;  // the species; not owned
    float eyeTimer;      // seconds
    VECTOR3D eyeAngles;  // degrees
    VECTOR3D eyeTarget;  // degrees
    MATRIX eyeMatrix;

private:
    // Avoids the others, moves along the heading, stays in view and under the surface;
    // true when the front or back wall stopped it.
    bool Advance(ONEFISH* all, long count, float level, float dt, bool stayOnScreen, const FRUSTUM& view);
    void KeepInView(VECTOR3D before, float radius, const FRUSTUM& view);
    void Pose(float dt);
    void Eyes(float dt);
    float Radius() const;
};

// Description of one bundled species: body profile, fins, eyes, motion and header fields.
// The builders (FishBuilder, FishMotion, SpeciesSkins) turn it into a model, keyframes and
// skins; SpeciesTable.cpp holds the bundled species themselves.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace reefpack {

// Body cross-section along the spine; s runs from the snout (0) to the tail base (1).
// Units are the model's own (the tank is about 80 wide).
struct ProfilePoint {
    float s;
    float halfHeight;
    float halfWidth;
    float centreY;
};

// A fin along the back or the belly, from s0 to s1, heights sampled evenly in between.
struct MedianFin {
    bool present = false;
    float s0 = 0, s1 = 0;
    std::vector<float> heights;  // fin height at evenly spaced stations from s0 to s1
    float sweep = 0.4f;          // how far the tip leans back, per unit of height
};

enum class TailShape { Forked, Truncate, Rounded, Lunate };

struct TailFin {
    TailShape shape = TailShape::Forked;
    float length = 2;     // along -z
    float spread = 1.5f;  // half height at the trailing edge
    float fork = 0.4f;    // depth of the notch (Forked, Lunate) as a fraction of length
    float streamer = 0;   // extra length of the outer rays (angelfish)
    float splayDeg = 0;   // non-zero: two fins tilted by plus and minus this (fantail)
};

// A paired fin: a paddle hanging off the side.
struct PairedFin {
    bool present = false;
    float s = 0.25f;        // where its base sits along the body
    float aroundDeg = 110;  // angle of the base point from the top of the body
    float length = 1.5f;
    float width = 0.8f;
    float spreadDeg = 35;  // outward angle away from the body axis
    float droopDeg = 20;   // downward angle
};

struct MotionDesc {
    float fps = 20;
    int swimFrames = 16;    // swim cycle: frames 2 .. swimFrames + 2
    int secondFrames = 8;   // rest cycle: frames swimFrames + 3 .. + secondFrames
    float headAmpDeg = 2;   // yaw of the head joint (counter to the tail)
    float tailAmpDeg = 14;  // relative yaw of the last spine joint
    float ampPower = 1.5f;  // how fast the amplitude grows towards the tail (1 = whole body)
    float waveLag = 0.7f;   // phase lag per spine joint, radians
    float caudalAmpDeg = 18;
    float pectFoldDeg = 15;  // pectorals folded back while swimming
    float pectSwimAmpDeg = 8;
    float pectRestAmpDeg = 25;
    float restTailAmpDeg = 3;
};

// Header fields of the archive.
struct HeaderDesc {
    uint8_t waterType = 0;  // 0 saltwater, 1 freshwater
    uint8_t modelScale = 100;
    uint8_t swimSpeed = 8;  // units per second
    uint8_t turnRate = 60;  // degrees per second
    uint32_t animSpeed = 1000;
};

struct SpeciesDesc {
    std::string key;  // short name: skins and file names derive from it
    std::string displayName;
    HeaderDesc header;
    float bodyLength = 8;  // snout to tail base
    std::vector<ProfilePoint> profile;
    MedianFin dorsal, dorsal2, anal;
    TailFin tail;
    PairedFin pectoral, pelvic;
    float eyeS = 0.12f;       // eye position along the body
    float eyeAroundDeg = 55;  // angle of the eye from the top
    float eyeRadius = 0.35f;
    int spineJoints = 6;  // joints after the head joint
    float headJointS = 0.22f;
    float lastJointS = 0.88f;
    MotionDesc motion;
    bool alphaMask = false;  // translucent fins through a shared mask
    int skinSeed = 1;
};

const std::vector<SpeciesDesc>& BundledSpecies();

}  // namespace reefpack

// The bundled species: shapes, fins, motion and behaviour, one function each. Units are
// the model's own (a fish of 8 to 16 units reads well in the 80-unit tank).
#include "Species.h"

namespace reefpack {
namespace {

SpeciesDesc Clownfish() {
    SpeciesDesc d;
    d.key = "clownfish";
    d.displayName = "Clownfish";
    d.header = {0, 100, 6, 90, 1100};
    d.bodyLength = 7.5f;
    d.profile = {{0, 0, 0, -0.05f},          {0.04f, 0.6f, 0.42f, -0.05f}, {0.12f, 1.2f, 0.78f, 0},
                 {0.3f, 1.7f, 0.95f, 0.05f}, {0.5f, 1.65f, 0.85f, 0.05f},  {0.7f, 1.15f, 0.6f, 0.05f},
                 {0.88f, 0.6f, 0.3f, 0.02f}, {1, 0.55f, 0.2f, 0}};
    d.dorsal = {true, 0.28f, 0.86f, {0.3f, 0.85f, 0.95f, 0.75f, 0.5f, 0.75f, 1.1f, 1.15f, 0.9f, 0.3f}, 0.35f};
    d.anal = {true, 0.6f, 0.88f, {0.3f, 0.9f, 1.1f, 1.0f, 0.5f}, 0.4f};
    d.tail = {TailShape::Rounded, 2.0f, 1.35f, 0, 0, 0};
    d.pectoral = {true, 0.3f, 115, 1.4f, 0.65f, 40, 25};
    d.pelvic = {true, 0.38f, 165, 1.0f, 0.35f, 20, 60};
    d.eyeS = 0.12f;
    d.eyeAroundDeg = 50;
    d.eyeRadius = 0.34f;
    d.motion.swimFrames = 14;
    d.motion.tailAmpDeg = 16;
    d.motion.ampPower = 1.8f;
    d.motion.caudalAmpDeg = 20;
    d.motion.pectSwimAmpDeg = 18;
    d.skinSeed = 11;
    return d;
}

SpeciesDesc Tang() {
    SpeciesDesc d;
    d.key = "tang";
    d.displayName = "Tang";
    d.header = {0, 100, 9, 80, 1000};
    d.bodyLength = 8.5f;
    d.profile = {{0, 0, 0, -0.3f},          {0.05f, 0.7f, 0.3f, -0.2f}, {0.15f, 1.7f, 0.55f, 0},
                 {0.35f, 2.6f, 0.7f, 0.1f}, {0.55f, 2.5f, 0.65f, 0.1f}, {0.75f, 1.6f, 0.45f, 0.05f},
                 {0.9f, 0.6f, 0.25f, 0},    {1, 0.5f, 0.2f, 0}};
    d.dorsal = {true, 0.2f, 0.88f, {0.2f, 0.7f, 0.8f, 0.8f, 0.8f, 0.8f, 0.8f, 0.85f, 0.8f, 0.5f, 0.1f}, 0.3f};
    d.anal = {true, 0.45f, 0.88f, {0.2f, 0.8f, 0.8f, 0.8f, 0.75f, 0.5f, 0.1f}, 0.3f};
    d.tail = {TailShape::Lunate, 2.4f, 2.0f, 0.35f, 0, 0};
    d.pectoral = {true, 0.3f, 105, 1.6f, 0.6f, 30, 15};
    d.pelvic = {true, 0.32f, 175, 0.8f, 0.25f, 15, 70};
    d.eyeS = 0.15f;
    d.eyeAroundDeg = 40;
    d.eyeRadius = 0.38f;
    d.motion.tailAmpDeg = 14;
    d.motion.ampPower = 2.5f;
    d.motion.caudalAmpDeg = 22;
    d.skinSeed = 22;
    return d;
}

SpeciesDesc Angelfish() {
    SpeciesDesc d;
    d.key = "angelfish";
    d.displayName = "Angelfish";
    d.header = {1, 100, 5, 40, 800};
    d.bodyLength = 6.5f;
    d.profile = {{0, 0, 0, 0.1f},       {0.05f, 0.6f, 0.3f, 0.05f}, {0.18f, 1.6f, 0.5f, 0.1f}, {0.4f, 2.2f, 0.6f, 0},
                 {0.6f, 1.9f, 0.5f, 0}, {0.8f, 1.0f, 0.3f, 0},      {0.92f, 0.45f, 0.2f, 0},   {1, 0.4f, 0.2f, 0}};
    d.dorsal = {true, 0.32f, 0.85f, {0.5f, 2.5f, 4.2f, 4.8f, 4.6f, 4.0f, 3.0f, 2.0f, 1.0f, 0.3f}, 0.75f};
    d.anal = {true, 0.5f, 0.88f, {0.5f, 2.5f, 4.2f, 4.6f, 4.2f, 3.2f, 2.0f, 0.8f}, 0.7f};
    d.tail = {TailShape::Truncate, 2.2f, 1.4f, 0, 1.8f, 0};
    d.pectoral = {true, 0.3f, 115, 1.1f, 0.45f, 35, 20};
    d.pelvic = {true, 0.3f, 175, 5.0f, 0.14f, 8, 65};
    d.eyeS = 0.13f;
    d.eyeAroundDeg = 45;
    d.eyeRadius = 0.33f;
    d.motion.swimFrames = 18;
    d.motion.tailAmpDeg = 10;
    d.motion.ampPower = 2.2f;
    d.motion.caudalAmpDeg = 14;
    d.motion.pectSwimAmpDeg = 10;
    d.alphaMask = true;
    d.skinSeed = 33;
    return d;
}

SpeciesDesc Tetra() {
    SpeciesDesc d;
    d.key = "tetra";
    d.displayName = "Neon Tetra";
    d.header = {1, 100, 8, 120, 1400};
    d.bodyLength = 6.6f;
    d.profile = {{0, 0, 0, 0},
                 {0.04f, 0.35f, 0.3f, 0},
                 {0.15f, 0.75f, 0.5f, 0.02f},
                 {0.4f, 0.9f, 0.5f, 0.05f},
                 {0.65f, 0.7f, 0.4f, 0.03f},
                 {0.85f, 0.38f, 0.2f, 0},
                 {1, 0.33f, 0.15f, 0}};
    d.dorsal = {true, 0.45f, 0.6f, {0.2f, 1.0f, 0.9f, 0.5f, 0.1f}, 0.5f};
    d.anal = {true, 0.62f, 0.88f, {0.2f, 0.7f, 0.5f, 0.35f, 0.2f}, 0.3f};
    d.tail = {TailShape::Forked, 1.6f, 0.95f, 0.55f, 0, 0};
    d.pectoral = {true, 0.22f, 120, 0.7f, 0.25f, 35, 20};
    d.pelvic = {true, 0.45f, 170, 0.5f, 0.2f, 20, 55};
    d.eyeS = 0.1f;
    d.eyeAroundDeg = 55;
    d.eyeRadius = 0.3f;
    d.motion.swimFrames = 12;
    d.motion.tailAmpDeg = 18;
    d.motion.ampPower = 1.5f;
    d.motion.caudalAmpDeg = 24;
    d.alphaMask = true;
    d.skinSeed = 44;
    return d;
}

SpeciesDesc Goldfish() {
    SpeciesDesc d;
    d.key = "goldfish";
    d.displayName = "Goldfish";
    d.header = {1, 100, 5, 50, 900};
    d.bodyLength = 6.5f;
    d.profile = {{0, 0, 0, 0},
                 {0.05f, 0.7f, 0.55f, 0},
                 {0.2f, 1.7f, 1.3f, 0.1f},
                 {0.45f, 2.1f, 1.45f, 0.15f},
                 {0.7f, 1.5f, 1.0f, 0.1f},
                 {0.88f, 0.6f, 0.4f, 0.05f},
                 {1, 0.45f, 0.3f, 0}};
    d.dorsal = {true, 0.35f, 0.8f, {0.4f, 1.6f, 1.9f, 1.7f, 1.4f, 1.0f, 0.6f, 0.2f}, 0.45f};
    d.anal = {true, 0.72f, 0.9f, {0.3f, 0.9f, 0.8f, 0.3f}, 0.5f};
    d.tail = {TailShape::Forked, 4.5f, 2.6f, 0.5f, 0, 28};
    d.pectoral = {true, 0.3f, 125, 1.3f, 0.55f, 40, 30};
    d.pelvic = {true, 0.48f, 165, 1.1f, 0.4f, 25, 55};
    d.eyeS = 0.12f;
    d.eyeAroundDeg = 55;
    d.eyeRadius = 0.36f;
    d.motion.swimFrames = 18;
    d.motion.tailAmpDeg = 12;
    d.motion.ampPower = 2.0f;
    d.motion.caudalAmpDeg = 26;
    d.alphaMask = true;
    d.skinSeed = 55;
    return d;
}

SpeciesDesc Pufferfish() {
    SpeciesDesc d;
    d.key = "pufferfish";
    d.displayName = "Pufferfish";
    d.header = {0, 100, 3, 30, 800};
    d.bodyLength = 6.8f;
    d.profile = {{0, 0, 0, -0.1f},         {0.03f, 0.7f, 0.65f, -0.1f}, {0.1f, 1.6f, 1.5f, 0},
                 {0.3f, 2.4f, 2.3f, 0.1f}, {0.5f, 2.4f, 2.3f, 0.1f},    {0.7f, 1.7f, 1.6f, 0.05f},
                 {0.88f, 0.7f, 0.6f, 0},   {1, 0.5f, 0.4f, 0}};
    d.dorsal = {true, 0.74f, 0.9f, {0.2f, 1.0f, 0.9f, 0.2f}, 0.5f};
    d.anal = {true, 0.74f, 0.9f, {0.2f, 1.0f, 0.9f, 0.2f}, 0.5f};
    d.tail = {TailShape::Rounded, 1.6f, 1.2f, 0, 0, 0};
    d.pectoral = {true, 0.28f, 95, 1.1f, 0.8f, 40, 0};
    d.eyeS = 0.17f;
    d.eyeAroundDeg = 40;
    d.eyeRadius = 0.5f;
    d.motion.swimFrames = 10;
    d.motion.tailAmpDeg = 5;
    d.motion.ampPower = 2.0f;
    d.motion.caudalAmpDeg = 30;
    d.motion.pectFoldDeg = 0;
    d.motion.pectSwimAmpDeg = 35;
    d.motion.pectRestAmpDeg = 30;
    d.motion.restTailAmpDeg = 2;
    d.skinSeed = 66;
    return d;
}

SpeciesDesc Barracuda() {
    SpeciesDesc d;
    d.key = "barracuda";
    d.displayName = "Barracuda";
    d.header = {0, 100, 14, 45, 700};
    d.bodyLength = 17;
    d.profile = {{0, 0, 0, -0.15f},        {0.02f, 0.25f, 0.2f, -0.12f}, {0.08f, 0.6f, 0.45f, -0.05f},
                 {0.25f, 1.05f, 0.75f, 0}, {0.5f, 1.1f, 0.75f, 0.02f},   {0.75f, 0.8f, 0.55f, 0},
                 {0.92f, 0.4f, 0.28f, 0},  {1, 0.35f, 0.22f, 0}};
    d.dorsal = {true, 0.33f, 0.43f, {0.2f, 1.3f, 1.1f, 0.7f, 0.2f}, 0.5f};
    d.dorsal2 = {true, 0.66f, 0.74f, {0.2f, 1.0f, 0.7f, 0.4f, 0.2f}, 0.4f};
    d.anal = {true, 0.68f, 0.76f, {0.2f, 0.9f, 0.6f, 0.3f, 0.2f}, 0.4f};
    d.tail = {TailShape::Forked, 3.0f, 1.9f, 0.55f, 0, 0};
    d.pectoral = {true, 0.24f, 120, 1.4f, 0.4f, 25, 20};
    d.pelvic = {true, 0.4f, 170, 0.9f, 0.3f, 20, 50};
    d.eyeS = 0.1f;
    d.eyeAroundDeg = 55;
    d.eyeRadius = 0.38f;
    d.spineJoints = 8;
    d.headJointS = 0.2f;
    d.lastJointS = 0.9f;
    d.motion.swimFrames = 20;
    d.motion.tailAmpDeg = 8;
    d.motion.ampPower = 1.2f;
    d.motion.waveLag = 0.55f;
    d.motion.caudalAmpDeg = 14;
    d.motion.pectSwimAmpDeg = 5;
    d.skinSeed = 77;
    return d;
}

SpeciesDesc Discus() {
    SpeciesDesc d;
    d.key = "discus";
    d.displayName = "Discus";
    d.header = {1, 100, 5, 40, 900};
    d.bodyLength = 8.0f;
    d.profile = {{0, 0, 0, -0.3f},          {0.04f, 0.8f, 0.3f, -0.25f}, {0.12f, 2.0f, 0.55f, -0.05f},
                 {0.3f, 3.1f, 0.7f, 0.05f}, {0.5f, 3.3f, 0.7f, 0.05f},   {0.7f, 2.7f, 0.6f, 0.05f},
                 {0.86f, 1.4f, 0.4f, 0},    {1, 0.5f, 0.25f, 0}};
    d.dorsal = {true, 0.22f, 0.9f, {0.3f, 0.7f, 0.8f, 0.85f, 0.9f, 0.9f, 0.9f, 0.85f, 0.8f, 0.6f, 0.2f}, 0.2f};
    d.anal = {true, 0.4f, 0.9f, {0.3f, 0.7f, 0.8f, 0.85f, 0.85f, 0.7f, 0.3f}, 0.2f};
    d.tail = {TailShape::Rounded, 1.7f, 1.3f, 0, 0, 0};
    d.pectoral = {true, 0.28f, 115, 1.1f, 0.5f, 35, 20};
    d.pelvic = {true, 0.3f, 175, 0.9f, 0.25f, 15, 60};
    d.eyeS = 0.12f;
    d.eyeAroundDeg = 45;
    d.eyeRadius = 0.38f;
    d.motion.tailAmpDeg = 10;
    d.motion.ampPower = 3.0f;
    d.motion.caudalAmpDeg = 20;
    d.skinSeed = 88;
    return d;
}

SpeciesDesc MoorishIdol() {
    SpeciesDesc d;
    d.key = "moorishidol";
    d.displayName = "Moorish Idol";
    d.header = {0, 100, 6, 60, 900};
    d.bodyLength = 7.5f;
    d.profile = {{0, 0, 0, -0.2f},          {0.04f, 0.25f, 0.18f, -0.25f}, {0.12f, 0.5f, 0.3f, -0.2f},
                 {0.22f, 1.9f, 0.5f, 0.2f}, {0.4f, 2.5f, 0.6f, 0.2f},      {0.6f, 2.1f, 0.5f, 0.1f},
                 {0.8f, 1.0f, 0.3f, 0},     {0.92f, 0.45f, 0.2f, 0},       {1, 0.4f, 0.2f, 0}};
    d.dorsal = {true, 0.3f, 0.85f, {1.0f, 4.2f, 6.0f, 4.8f, 2.6f, 1.4f, 1.1f, 0.9f, 0.6f, 0.2f}, 0.85f};
    d.anal = {true, 0.55f, 0.85f, {0.5f, 2.5f, 2.2f, 1.5f, 0.8f, 0.3f}, 0.5f};
    d.tail = {TailShape::Truncate, 1.8f, 1.3f, 0, 0, 0};
    d.pectoral = {true, 0.32f, 115, 1.2f, 0.45f, 35, 20};
    d.pelvic = {true, 0.33f, 175, 1.2f, 0.25f, 15, 60};
    d.eyeS = 0.22f;
    d.eyeAroundDeg = 40;
    d.eyeRadius = 0.32f;
    d.motion.tailAmpDeg = 10;
    d.motion.ampPower = 2.5f;
    d.motion.caudalAmpDeg = 18;
    d.skinSeed = 99;
    return d;
}

}  // namespace

const std::vector<SpeciesDesc>& BundledSpecies() {
    static const std::vector<SpeciesDesc> all = {Clownfish(),  Tang(),      Angelfish(), Tetra(),      Goldfish(),
                                                 Pufferfish(), Barracuda(), Discus(),    MoorishIdol()};
    return all;
}

}  // namespace reefpack

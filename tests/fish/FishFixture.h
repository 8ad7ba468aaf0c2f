// A loaded test species, fish filled from it and the tank's view planes, for the
// behaviour, setup and rendering tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "FishArchives.h"
#include "TankView.h"
#include "fish/FishData.h"
#include "image/Texture.h"
#include "fish/Fish.h"
#include "test_support.h"

namespace fishtest {

class SpeciesFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(gl.Create(64, 48));
        SetTankFrustum();
    }

    // Loads a species into info (an entry of this fixture).
    FISHDATA* Load(const SpeciesSpec& spec, FISHINFO* entry, const char* fileName = "test.fish")
    {
        std::string folder = dir.path() + "/";
        EXPECT_TRUE(WriteSpecies(folder + fileName, spec));
        snprintf(entry->fileName, sizeof entry->fileName, "%s", fileName);
        snprintf(entry->folder, sizeof entry->folder, "%s", folder.c_str());
        EXPECT_TRUE(entry->LoadData(entry->folder, 1.0f));
        return entry->data;
    }

    // A cruising fish at p heading along +z (angles zero), steady at speed.
    static void Place(ONEFISH* f, VECTOR3D p, float speed = 0.0f)
    {
        f->action = FISH_CRUISING;
        f->position = p;
        f->angles = VECTOR3D{};
        f->orientation.Identity();
        f->direction = VECTOR3D{0, 0, 1};
        f->currentSpeed = speed;
        f->cruiseSpeed = speed;
        f->speedFactor = f->wantedFactor = 1.0f;
        f->turnVelocity = f->turnWanted = VECTOR3D{};
        f->actionTimer = 10.0f;
        f->target = VECTOR3D{p.x, p.y, p.z + 30.0f};
    }

    EglContext gl;
    testsupport::TempDir dir;
    FISHINFO species;
};

}  // namespace fishtest

// Loading one species from its fish archive: the model (lump 0), the skins (with or
// without a shared alpha mask), the animation template, the prototype fish and the
// behaviour parameters of the header. Leans on FISHFILE, MS3D, ANIMATIONTEMPLATE,
// ONEFISH, LoadTGA2 and the texture builders.
#include "fish/FishData.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "data/FishFile.h"
#include "fish/Fish.h"
#include "image/TGALoader.h"
#include "image/Texture.h"
#include "math/Misc.h"
#include "model/AnimTemplate.h"
#include "model/MilkshapeModel.h"

FISHDATA::~FISHDATA() { Cleanup(); }

void FISHDATA::Cleanup() {
    delete[] textures;  // each Texture deletes its GL texture
    textures = nullptr;
    numTextures = 0;
    if (prototype) {
        // The prototype's materials name the skins just deleted; it owns no texture.
        if (prototype->materials)
            for (int i = 0; i < prototype->numMaterials; i++) prototype->materials[i].texture = 0;
        prototype->fishData = nullptr;
        delete prototype;  // owns its groups and indices
        prototype = nullptr;
    }
    delete animTemplate;
    animTemplate = nullptr;
}

bool FISHDATA::Complete() const {
    if (!animTemplate || !textures || numTextures < 1 || !prototype) return false;
    const ONEFISH* p = prototype;
    if (!p->vertexBuffer || p->numVertices == 0 || !p->indices || p->numTriangles == 0) return false;
    if (!p->groups || (p->numMaterials > 0 && !p->materials)) return false;
    if (animTemplate->numJoints > 0 && (!animTemplate->joints || !p->joints)) return false;
    return std::isfinite(extent);
}

bool FISHDATA::Load(FISHFILE* archive, float sizeFactor) {
    if (!archive || !archive->lumps) return false;
    const FISHHEADER& header = archive->header;
    const int lumpCount = archive->LumpCount();

    MS3D model;
    if (!archive->SeekLump(0) || !model.LoadFromFStream(&archive->stream)) return false;

    // Both cycles must lie within the model's frames: past the last one a fish would
    // freeze for part of every stroke. Summed in 64 bits: the header fields are untrusted.
    const long long lastFrame = (long long)header.swimFrames + 3 + header.secondFrames;
    if (lastFrame > model.totalFrames) {
        fprintf(stderr, "reefmere: species \"%.39s\": its rest cycle ends at frame %lld but the model has %d\n",
                header.name, lastFrame, (int)model.totalFrames);
        return false;
    }

    size = sizeFactor;
    // modelScale 100 is the model's own size at size 1; smaller fish shrink to 2/3 at 0.5.
    model.Scale((float)(header.modelScale / ((1.0 - sizeFactor) * 100.0 + 100.0)));

    // The radius of the species: measured on the scaled model in its own (model) space,
    // before the skeleton setup takes the vertices into joint space.
    extent = ModelExtent(model);
    if (!std::isfinite(extent)) {
        ERRORCLOSE("Model has a coordinate that is not a finite number");
        return false;
    }

    model.InitialSetup();

    animTemplate = new (std::nothrow) ANIMATIONTEMPLATE;
    if (!animTemplate || !animTemplate->Setup(&model)) return false;

    const bool masked = header.alphaMask != 0;
    int count = lumpCount - 1 - (masked ? 1 : 0);
    if (count < 1) return false;

    textures = new (std::nothrow) Texture[count];
    if (!textures) {
        ERRORCLOSE("Unable to allocate memory!");
        return false;
    }
    numTextures = count;

    if (masked) {
        Texture mask;
        if (!archive->SeekLump(1) || !LoadTGA2(&mask, &archive->stream, kSkinMaxSide)) return false;
        for (int k = 0; k < count; k++) {
            if (archive->lumps[k + 2].kind != kLumpKindTGA) continue;  // that skin stays empty
            if (!archive->SeekLump(k + 2) || !LoadTGA2(&textures[k], &archive->stream, kSkinMaxSide) ||
                !BuildTGATextureWithAlpha(&textures[k], &mask))
                return false;
        }
    } else {
        for (int k = 0; k < count; k++) {
            if (archive->lumps[k + 1].kind != kLumpKindTGA) continue;
            // Skin k's texture mode sits in directory entry k, one ahead of its own lump.
            if (!archive->SeekLump(k + 1) || !LoadTGA2(&textures[k], &archive->stream, kSkinMaxSide) ||
                !BuildTexture(&textures[k], (int)archive->lumps[k].mode))
                return false;
        }
    }

    prototype = new (std::nothrow) ONEFISH;
    if (!prototype) return false;
    unsigned skin = textures[rand() % numTextures].texID;
    if (!prototype->Setup(animTemplate, &model, &skin)) return false;

    swimSpeed = (float)(header.swimSpeed * (sizeFactor * 0.5 + 0.5));
    turnRate = header.turnRate;
    animSpeed = (int32_t)header.animSpeed;
    swimFrames = (int32_t)header.swimFrames;
    secondFrames = (int32_t)header.secondFrames;

    eyeLeftJoint = eyeRightJoint = mouthJoint = 0;
    for (int i = 0; i < model.numJoints; i++) {
        const char* name = model.joints[i].name;
        if (strncmp(name, "eyel", MS3D_NAME_SIZE) == 0) eyeLeftJoint = i;
        if (strncmp(name, "eyer", MS3D_NAME_SIZE) == 0) eyeRightJoint = i;
        if (strncmp(name, "mouth", MS3D_NAME_SIZE) == 0) mouthJoint = i;
    }
    return true;
}

FISHINFO::FISHINFO() {
    folder[0] = '\0';
    fileName[0] = '\0';
    displayName[0] = '\0';
}

FISHINFO::~FISHINFO() { Unload(); }

void FISHINFO::Unload() {
    delete data;
    data = nullptr;
    loaded = false;
}

bool FISHINFO::LoadData(const char* dataFolder, float sizeFactor) {
    if (loaded) return data != nullptr;

    FISHFILE* archive = new (std::nothrow) FISHFILE;
    if (!archive) {
        ERRORCLOSE("Unable to allocate memory!");
        return false;
    }
    std::string path = std::string(dataFolder ? dataFolder : "") + fileName;
    if (!archive->Open(path.c_str())) {
        ERRORCLOSE("Unable to load currency!");
        fprintf(stderr, "reefmere: %s: not a readable fish archive any more; species left out\n", path.c_str());
        delete archive;
        return false;
    }

    data = new (std::nothrow) FISHDATA;
    bool ok = data && data->Load(archive, sizeFactor) && data->Complete();
    archive->Close();
    delete archive;
    loaded = true;
    if (!ok) {
        // Half-built species never reach the tank.
        fprintf(stderr, "reefmere: %s: species could not be loaded completely; left out\n", path.c_str());
        delete data;
        data = nullptr;
        return false;
    }
    return true;
}

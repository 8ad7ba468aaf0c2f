// Fuzzes the MS3D loader and everything a species load does with a model that passed
// it: skeleton set-up, the animation template, the instance set-up and a few frames of
// skinning, so no stage reads out of bounds on a hostile model.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "model/ModelMain.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size), std::ios::in | std::ios::binary);
    MS3D model;
    if (!model.LoadFromFStream(&in)) return 0;
    model.Scale(0.5f);
    model.InitialSetup();
    model.SetAnimation(0, model.totalFrames, 1000, true, true);
    for (int i = 0; i < 3; i++) {
        model.Animate(0.3);
        model.UpdateSkeleton();
        model.UpdatePoints();
        model.RevertPoints();
    }
    ANIMATIONTEMPLATE tmpl;
    if (!tmpl.Setup(&model)) return 0;
    unsigned texture = 1;
    ONEMODEL instance;
    if (!instance.Setup(&tmpl, &model, &texture)) return 0;
    instance.SetAnimation(0, tmpl.totalFrames, 1000, false, true);
    for (int i = 0; i < 6; i++) instance.Update(0.1);
    instance.SetAnimation(1, 3, 500, true, false);
    for (int i = 0; i < 6; i++) instance.Update(0.1);
    instance.scale = 0.7f;
    instance.Update(0.05);
    return 0;
}

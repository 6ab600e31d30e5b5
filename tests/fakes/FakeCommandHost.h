#pragma once
#include <vector>

#include "buttoncontrol/CommandLogic.h"

// Records what the button asked of its window, and plays the pointer's place.
struct FakeCommandHost final : CommandHost {
    static constexpr WindowRef kSelf = 20, kElsewhere = 30;
    void DrawFace(const FaceDrawing& face) override { faces.push_back(face), pictures.push_back(face.picture); }
    void RaiseClick() override { ++clicks; }
    void StartMouseTimer(int) override {}
    WindowRef WindowUnderPointer() override { return under; }
    WindowRef OwnWindow() override { return kSelf; }
    void Forget() { faces.clear(), pictures.clear(), clicks = 0; }

    std::vector<FaceDrawing> faces;
    std::vector<FramePicture> pictures;
    int clicks = 0;
    WindowRef under = kElsewhere;
};

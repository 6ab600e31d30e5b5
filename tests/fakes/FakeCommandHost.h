#pragma once
#include <string>
#include <vector>

#include "buttoncontrol/CommandLogic.h"

// Records what the button asked of its window, and plays the pointer's place.
class FakeCommandHost final : public CommandHost {
public:
    static constexpr WindowRef kContainer = 10, kSelf = 20, kElsewhere = 30;

    void DrawFace(const FaceDrawing& face) override { faces.push_back(face); }
    void PropertyChanged(std::string_view name) override { notices.emplace_back(name); }
    void RaiseClick() override { ++clicks; }
    void StartMouseTimer(int intervalMs) override { timerStarts.push_back(intervalMs); }
    void SetBackgroundOpaque(bool o) override { opaque = o; }
    WindowRef WindowUnderPointer() override { return under; }
    WindowRef ContainerWindow() override { return kContainer; }
    WindowRef OwnWindow() override { return kSelf; }

    std::vector<FramePicture> Pictures() const {
        std::vector<FramePicture> p;
        for (const auto& f : faces) p.push_back(f.picture);
        return p;
    }
    void Forget() {
        faces.clear();
        clicks = 0;
        notices.clear();
    }

    std::vector<FaceDrawing> faces;
    std::vector<std::string> notices;
    std::vector<int> timerStarts;
    int clicks = 0;
    bool opaque = true;
    WindowRef under = kElsewhere;
};

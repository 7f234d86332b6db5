// The frames of an animated smart image and the controller that steps them.

#include "imaging/qkSmartImage.h"

#include "platform/threading/Timer.h"

#include <algorithm>

namespace {

// Shorter delays than this are what a GIF writer means by "as fast as you can"; stepping
// that fast would only load the main thread.
constexpr std::int32_t kMinimumFrameDelay = 10;

} // namespace

// --- controllers -----------------------------------------------------------------------------

void TqkSmartImageAnimationController::NextFrame() {
    TqkCustomSmartImage* image = FImage;
    if (!image)
        return;
    const std::weak_ptr<void> alive = FLifetime;
    const std::uint32_t frame = image->ActiveFrame();
    image->SetActiveFrame(frame + 1);
    // A change handler may have stopped the animation, changed its delay or freed or replaced
    // the picture: this controller (and the picture) may be gone.
    if (alive.expired())
        return;
    // The image's own StopAnimation would free this controller in the middle of its tick.
    if (image->ActiveFrame() == frame)
        StopAnimation();
}

TqkSmartImageAnimationControllerClass& qkSmartImageAnimationControllerClass() {
    static TqkSmartImageAnimationControllerClass controllerClass =
        [](TqkCustomSmartImage* AImage) -> std::unique_ptr<TqkSmartImageAnimationController> {
        return std::make_unique<TqkSmartImageAnimationController>(AImage);
    };
    return controllerClass;
}

TqkSmartImageAnimationControllerClass qkSmartImageTimerAnimationControllerClass() {
    return [](TqkCustomSmartImage* AImage) -> std::unique_ptr<TqkSmartImageAnimationController> {
        return std::make_unique<TqkSmartImageTimerAnimationController>(AImage);
    };
}

TqkSmartImageTimerAnimationController::TqkSmartImageTimerAnimationController(
    TqkCustomSmartImage* AImage)
    : TqkSmartImageAnimationController(AImage), FTimer(std::make_unique<threading::Timer>()) {
    FTimer->OnTimer = [this] { NextFrame(); };
}

TqkSmartImageTimerAnimationController::~TqkSmartImageTimerAnimationController() {
    FTimer->SetEnabled(false);
}

void TqkSmartImageTimerAnimationController::StartTimer() {
    UpdateInterval();
    FTimer->SetEnabled(true);
}

void TqkSmartImageTimerAnimationController::StopTimer() {
    FTimer->SetEnabled(false);
}

bool TqkSmartImageTimerAnimationController::IsTimerActive() {
    return FTimer->Enabled();
}

void TqkSmartImageTimerAnimationController::NextFrame() {
    const std::weak_ptr<void> alive = Lifetime();
    TqkSmartImageAnimationController::NextFrame();
    if (!alive.expired() && FTimer->Enabled())
        UpdateInterval();
}

void TqkSmartImageTimerAnimationController::UpdateInterval() {
    const std::int32_t delay = FImage ? FImage->AnimationFrameDelay() : 0;
    FTimer->SetInterval(static_cast<std::uint32_t>(std::max(delay, kMinimumFrameDelay)));
}

// --- TqkCustomSmartImage ---------------------------------------------------------------------

IqkAnimatedImage* TqkCustomSmartImage::AnimatedImage() {
    return dynamic_cast<IqkAnimatedImage*>(ImageHandle());
}

std::uint32_t TqkCustomSmartImage::AnimationFrameCount() {
    IqkAnimatedImage* animated = AnimatedImage();
    return animated ? animated->AnimationFrameCount() : 1;
}

std::uint32_t TqkCustomSmartImage::ActiveFrame() {
    IqkAnimatedImage* animated = AnimatedImage();
    return animated ? animated->GetActiveFrame() : 0;
}

std::int32_t TqkCustomSmartImage::AnimationLoopCount() {
    IqkAnimatedImage* animated = AnimatedImage();
    return animated ? animated->AnimationLoopCount() : 0;
}

std::int32_t TqkCustomSmartImage::AnimationFrameDelay() {
    if (FAnimationFrameDelay != 0)
        return FAnimationFrameDelay;
    IqkAnimatedImage* animated = AnimatedImage();
    return animated ? animated->AnimationFrameDelay() : 0;
}

void TqkCustomSmartImage::SetAnimationFrameDelay(std::int32_t AValue) {
    if (AValue == FAnimationFrameDelay)
        return;
    FAnimationFrameDelay = std::max(AValue, 0);
    if (Animation()) {
        StopAnimation();
        StartAnimation();
    }
}

void TqkCustomSmartImage::SetActiveFrame(std::uint32_t AValue) {
    IqkAnimatedImage* animated = AnimatedImage();
    if (!animated)
        return;
    std::uint32_t frame = AValue;
    const std::uint32_t count = animated->AnimationFrameCount();
    if (frame >= count) {
        const std::int32_t loops = animated->AnimationLoopCount();
        if (AnimationLoop == TqkDefaultBoolean::bTrue ||
            (AnimationLoop == TqkDefaultBoolean::bDefault && loops == 0)) {
            frame = 0;
        } else if (AnimationLoop == TqkDefaultBoolean::bDefault && loops > FAnimationLoopIndex) {
            frame = 0;
            ++FAnimationLoopIndex;
        } else {
            frame = count > 0 ? count - 1 : 0;
        }
    }
    if (frame != animated->GetActiveFrame()) {
        animated->SetActiveFrame(frame);
        NotifyChanged();
    }
}

bool TqkCustomSmartImage::Animation() {
    return FAnimationController && FAnimationController->Active();
}

void TqkCustomSmartImage::SetAnimation(bool AValue) {
    if (AValue == Animation())
        return;
    if (AValue && CanAnimate())
        StartAnimation();
    else
        StopAnimation();
}

bool TqkCustomSmartImage::CanAnimate() {
    return AnimatedImage() && ImageDataFormat() != TqkImageDataFormat::qkImageTiff;
}

void TqkCustomSmartImage::StartAnimation() {
    // A controller that stopped itself on the last frame is made again, so that the
    // animation can be started once more.
    if (FAnimationController && FAnimationController->IsTimerActive())
        return;
    if (AnimationFrameCount() < 2)
        return;
    FAnimationController.reset();
    FAnimationController = qkSmartImageAnimationControllerClass()(this);
    if (FAnimationController)
        FAnimationController->StartAnimation();
}

void TqkCustomSmartImage::StopAnimation() {
    FAnimationController.reset();
}

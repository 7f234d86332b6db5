#include "ImagingTestSupport.h"

#include <QCoreApplication>
#include <QTimer>

#include <functional>

namespace {

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new ImagingEnvironment);

const QByteArray& pngBytes() {
    static const QByteArray bytes =
        encodeImage(halvesImage(8, 4, QColor(255, 0, 0), QColor(0, 0, 255)), "PNG");
    return bytes;
}

TEST(SmartImageResize, EncodedAndNeverDecodedTakesTheSizeAtOnce) {
    auto image = loadedImage<TqkSmartImage>(pngBytes());
    ChangeCounter changes(*image);
    image->Resize(4, 2);
    EXPECT_EQ(changes.count, 1);
    EXPECT_FALSE(image->HandleAllocated());
    EXPECT_EQ(image->Width(), 4);
    EXPECT_EQ(image->Height(), 2);

    // The first decode scales the image and drops its encoded bytes.
    const TRGBColors bits = image->GetBitmapBits();
    EXPECT_TRUE(image->ImageData().Empty());
    ASSERT_EQ(bits.size(), 8u);
    EXPECT_EQ(pixelAt(bits, 4, 0, 0) & 0xFFFF0000u, 0xFFFF0000u);
    EXPECT_EQ(pixelAt(bits, 4, 3, 1) & 0xFF0000FFu, 0xFF0000FFu);
}

TEST(SmartImageResize, AnEmptyHandleBecomesTransparentPixels) {
    TqkSmartImage image;
    image.HandleNeeded();
    image.Resize(4, 4);
    EXPECT_EQ(image.Width(), 4);
    const TRGBColors bits = image.GetBitmapBits();
    ASSERT_EQ(bits.size(), 16u);
    for (const RGBQUAD& pixel : bits)
        EXPECT_EQ(pixel.rgbReserved, 0);

    TqkSmartImage never;
    never.Resize(4, 4);
    EXPECT_EQ(never.Width(), 0);
    never.HandleNeeded();
    EXPECT_EQ(never.Width(), 4);
    EXPECT_EQ(never.GetBitmapBits().size(), 16u);
}

TEST(SmartImageResize, ADecodedImageIsRedrawnAndItsDataDropped) {
    auto image = loadedImage<TqkSmartImage>(pngBytes());
    image->HandleNeeded();
    ChangeCounter changes(*image);
    image->Resize(8, 4);
    EXPECT_EQ(changes.count, 0);
    EXPECT_TRUE(image->ImageData().FData);

    image->Resize(16, 8);
    EXPECT_EQ(changes.count, 1);
    EXPECT_TRUE(image->ImageData().Empty());
    EXPECT_EQ(image->Width(), 16);
    EXPECT_EQ(pixelAt(image->GetBitmapBits(), 16, 12, 4), 0xFF0000FFu);
}

TEST(SmartImageResize, ScaleMultipliesAndDividesAndIgnoresAZeroDivisor) {
    auto image = loadedImage<TqkSmartImage>(pngBytes());
    image->Scale(3, 2);
    EXPECT_EQ(image->Width(), 12);
    EXPECT_EQ(image->Height(), 6);
    ChangeCounter changes(*image);
    image->Scale(1, 0);
    EXPECT_EQ(changes.count, 0);
    EXPECT_EQ(image->Width(), 12);
}

TEST(SmartImageColor, ChangeColorKeepsAlphaAndScalesTheColourByIt) {
    auto bits = std::make_shared<TRGBColors>(TqkSmartImageHelper::AllocColors(2, 1, 0xFF000000u));
    (*bits)[1] = {0, 0, 0, 0x80};
    auto image = TqkCustomSmartImage::CreateFromBits<TqkSmartImage>(2, 1, bits, true);
    ChangeCounter changes(*image);
    image->ChangeColor(static_cast<TColor>(RGB(255, 128, 0)));
    EXPECT_EQ(changes.count, 1);
    const TRGBColors recoloured = image->GetBitmapBits();
    EXPECT_EQ(pixelAt(recoloured, 2, 0, 0), 0xFFFF8000u);
    EXPECT_EQ(pixelAt(recoloured, 2, 1, 0), 0x80804000u);
}

TEST(SmartImageColor, NoColourOrNoPictureChangesNothing) {
    auto image = loadedImage<TqkSmartImage>(pngBytes());
    ChangeCounter changes(*image);
    image->ChangeColor(clNone);
    image->ChangeColor(clDefault);
    EXPECT_EQ(changes.count, 0);
    EXPECT_EQ(image->ImageData().FData->bytes(), pngBytes());

    TqkSmartImage empty;
    empty.ChangeColor(clWhite);
    EXPECT_TRUE(empty.Empty());
}

// --- frames ---------------------------------------------------------------------------------

// A decoded image of a few frames that answers like GDI+'s.
class FramesHandle : public TqkSmartImageCustomHandle, public IqkAnimatedImage {
public:
    using TqkSmartImageCustomHandle::Draw;
    FramesHandle(std::uint32_t AFrames, std::int32_t ALoops) : m_frames(AFrames), m_loops(ALoops) {}
    TSize GetSize() override { return {2, 2}; }
    void Draw(HDC, const TRect&, const TRect&, BYTE, IqkColorPalette*) override {}
    std::uint32_t GetActiveFrame() override { return m_active; }
    std::uint32_t AnimationFrameCount() override { return m_frames; }
    std::int32_t AnimationFrameDelay() override { return 40; }
    std::int32_t AnimationLoopCount() override { return m_loops; }
    void SetActiveFrame(std::uint32_t AValue) override { m_active = AValue; }

private:
    std::uint32_t m_frames;
    std::int32_t m_loops;
    std::uint32_t m_active = 0;
};

// The frames reached by stepping from the last frame onwards, n times.
std::vector<std::uint32_t> stepsPastTheEnd(TqkCustomSmartImage& AImage, int ATimes) {
    std::vector<std::uint32_t> frames;
    for (int i = 0; i < ATimes; ++i) {
        AImage.SetActiveFrame(AImage.AnimationFrameCount() - 1);
        AImage.SetActiveFrame(AImage.AnimationFrameCount());
        frames.push_back(AImage.ActiveFrame());
    }
    return frames;
}

struct LoopCase {
    const char* name;
    TqkDefaultBoolean loop;
    std::int32_t imageLoops;
    std::vector<std::uint32_t> frames;
};

class SmartImageFrames : public ::testing::TestWithParam<LoopCase> {};

TEST_P(SmartImageFrames, PastTheLastFrameFollowsTheLoopRule) {
    TqkSmartImage image;
    image.SetImageHandle(std::make_unique<FramesHandle>(3, GetParam().imageLoops));
    image.AnimationLoop = GetParam().loop;
    EXPECT_EQ(stepsPastTheEnd(image, 3), GetParam().frames);
}

INSTANTIATE_TEST_SUITE_P(
    Loops, SmartImageFrames,
    ::testing::Values(LoopCase{"always", TqkDefaultBoolean::bTrue, 2, {0, 0, 0}},
                      LoopCase{"never", TqkDefaultBoolean::bFalse, 0, {2, 2, 2}},
                      LoopCase{"image_endless", TqkDefaultBoolean::bDefault, 0, {0, 0, 0}},
                      LoopCase{"image_twice", TqkDefaultBoolean::bDefault, 2, {0, 0, 2}}),
    [](const auto& AInfo) { return std::string(AInfo.param.name); });

TEST(SmartImageAnimation, AReloadedPictureCountsItsLoopsAgain) {
    TqkSmartImage image;
    image.AnimationLoop = TqkDefaultBoolean::bDefault;
    image.SetImageHandle(std::make_unique<FramesHandle>(3, 1));
    EXPECT_EQ(stepsPastTheEnd(image, 2), (std::vector<std::uint32_t>{0, 2}));
    EXPECT_EQ(image.AnimationLoopIndex(), 1);

    image.SetImageHandle(std::make_unique<FramesHandle>(3, 1));
    EXPECT_EQ(image.AnimationLoopIndex(), 0);
    EXPECT_EQ(stepsPastTheEnd(image, 2), (std::vector<std::uint32_t>{0, 2}));
}

TEST(SmartImageAnimation, WritingAFrameNotifiesOnlyOnAChange) {
    TqkSmartImage image;
    image.SetImageHandle(std::make_unique<FramesHandle>(3, 0));
    ChangeCounter changes(image);
    image.SetActiveFrame(0);
    EXPECT_EQ(changes.count, 0);
    image.SetActiveFrame(1);
    EXPECT_EQ(changes.count, 1);
    EXPECT_EQ(image.ActiveFrame(), 1u);
}

// The timer-driven controller chosen for the time of a test.
class TimerControllerChosen {
public:
    TimerControllerChosen() : m_saved(qkSmartImageAnimationControllerClass()) {
        qkSmartImageAnimationControllerClass() = qkSmartImageTimerAnimationControllerClass();
    }
    ~TimerControllerChosen() { qkSmartImageAnimationControllerClass() = m_saved; }
    TimerControllerChosen(const TimerControllerChosen&) = delete;
    TimerControllerChosen& operator=(const TimerControllerChosen&) = delete;

private:
    TqkSmartImageAnimationControllerClass m_saved;
};

// Runs the event loop until something quits it, or fails after a bound.
int runEventLoop(QCoreApplication& AApplication) {
    QTimer::singleShot(5000, &AApplication, [] { QCoreApplication::exit(1); });
    return QCoreApplication::exec();
}

TEST(SmartImageAnimation, TheInitialControllerNeverAdvances) {
    int argc = 1;
    char name[] = "SmartImageAnimation";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    TqkSmartImage image;
    image.SetImageHandle(std::make_unique<FramesHandle>(3, 0));
    ASSERT_TRUE(image.CanAnimate());
    image.SetAnimation(true);
    EXPECT_FALSE(image.Animation()) << "the initial controller has no timer";
    QTimer::singleShot(200, &application, [] { QCoreApplication::quit(); });
    EXPECT_EQ(runEventLoop(application), 0);
    EXPECT_EQ(image.ActiveFrame(), 0u);
}

struct InStepCase {
    const char* name;
    // What a change handler does during a frame step.
    std::function<void(std::unique_ptr<TqkSmartImage>&)> action;
    bool animatesAfter;
};

class SmartImageTimerAnimation : public ::testing::TestWithParam<InStepCase> {};

TEST_P(SmartImageTimerAnimation, SurvivesAChangeHandlerThatEndsTheStep) {
    TimerControllerChosen chosen;
    int argc = 1;
    char name[] = "SmartImageAnimation";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    auto picture = std::make_unique<TqkSmartImage>();
    picture->SetImageHandle(std::make_unique<FramesHandle>(3, 0));
    picture->SetAnimation(true);
    ASSERT_TRUE(picture->Animation());
    const auto& action = GetParam().action;
    bool acted = false; // a new image sends a notice of its own
    picture->OnChange = [&picture, &action, &acted](TPersistent*) {
        if (acted)
            return;
        acted = true;
        QCoreApplication::quit();
        // Last: it may free the picture, this handler with it.
        action(picture);
    };
    ASSERT_EQ(runEventLoop(application), 0);
    if (!picture)
        return;
    EXPECT_EQ(picture->Animation(), GetParam().animatesAfter);
    if (!GetParam().animatesAfter)
        return;
    const std::uint32_t frame = picture->ActiveFrame();
    picture->OnChange = [](TPersistent*) { QCoreApplication::quit(); };
    ASSERT_EQ(runEventLoop(application), 0) << "the animation steps on";
    EXPECT_NE(picture->ActiveFrame(), frame);
}

INSTANTIATE_TEST_SUITE_P(
    Handlers, SmartImageTimerAnimation,
    ::testing::Values(
        InStepCase{"stops", [](auto& APicture) { APicture->SetAnimation(false); }, false},
        InStepCase{"retimes", [](auto& APicture) { APicture->SetAnimationFrameDelay(20); }, true},
        InStepCase{"frees", [](auto& APicture) { APicture.reset(); }, false},
        InStepCase{
            "replaces",
            [](auto& APicture) { APicture->SetImageHandle(std::make_unique<FramesHandle>(3, 0)); },
            false}), // the new image shows the frame the step began on: it stops
    [](const auto& AInfo) { return std::string(AInfo.param.name); });

TEST(SmartImageAnimation, StartsOnlyWithFramesAndStopsOnTheLastFrame) {
    TimerControllerChosen chosen;
    auto still = loadedImage<TqkSmartImage>(pngBytes());
    EXPECT_EQ(still->AnimationFrameCount(), 1u);
    still->SetAnimation(true);
    EXPECT_FALSE(still->Animation());

    TqkSmartImage image;
    image.SetImageHandle(std::make_unique<FramesHandle>(2, 0));
    image.AnimationLoop = TqkDefaultBoolean::bFalse;
    EXPECT_TRUE(image.CanAnimate());
    EXPECT_EQ(image.AnimationFrameDelay(), 40);
    image.SetAnimation(true);
    EXPECT_TRUE(image.Animation());

    image.SetAnimationFrameDelay(-5);
    EXPECT_EQ(image.AnimationFrameDelay(), 40); // 0 is the image's own delay
    image.SetAnimationFrameDelay(100);
    EXPECT_EQ(image.AnimationFrameDelay(), 100);
    EXPECT_TRUE(image.Animation());

    TqkSmartImageAnimationController stepper(&image);
    stepper.NextFrame();
    EXPECT_EQ(image.ActiveFrame(), 1u);
    stepper.NextFrame(); // stays on the last frame
    EXPECT_EQ(image.ActiveFrame(), 1u);

    image.SetAnimation(false);
    EXPECT_FALSE(image.Animation());
}

} // namespace

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "game/core/qv3InputSampler.h"
#include "tests/render/RenderTestSupport.h"

namespace qv {
namespace {

class TFakeTarget final : public IInputSampleTarget {
public:
    bool ReadKeyboard(std::span<std::uint8_t, 256> state) override {
        if (readThrows) throw std::runtime_error("device gone");
        if (lost) return false;
        std::copy(keys.begin(), keys.end(), state.begin());
        return true;
    }
    std::int32_t CursorY() override {
        if (mouseThrows) throw std::runtime_error("no pointer");
        return cursorY;
    }
    void ProcessKey(std::int16_t key) override {
        processed.push_back(key);
        if (key == 27 && escLeaves) sampling = false;
    }
    bool Sampling() const override { return sampling; }
    bool LivePlay() const override { return livePlay; }
    bool ReplayLive() const override { return replay; }
    TGameInput* LiveInput() override { return &live; }

    void Press(int code) { keys[static_cast<std::size_t>(code)] = 0x80; }
    void Release(int code) { keys[static_cast<std::size_t>(code)] = 0; }

    TKeyState keys{};
    bool lost = false;
    bool readThrows = false;
    bool mouseThrows = false;
    std::int32_t cursorY = 300;
    bool sampling = true;
    bool escLeaves = false;
    bool livePlay = true;
    bool replay = false;
    std::vector<std::int16_t> processed;
    TGameInput live;
};

TEST(InputSamplerTest, PacksKeysCursorAndClickIntoOneLiveRecord) {
    TFakeTarget target;
    TInputSampler sampler;
    target.Press(kKeyA);
    target.Press(kKeyZ);  // A wins
    target.Press(kKeySpace);
    target.Press(kKeyT);
    target.cursorY = 123;
    sampler.ClickPending = true;
    sampler.Sample(target, 3);

    ASSERT_EQ(target.live.Count(), 1);
    const TInputRecord r = target.live.Records()[0];
    EXPECT_EQ(RecordTicks(r), 3u);
    EXPECT_EQ(RecordMouseY(r), 123);
    EXPECT_EQ(RecordDirection(r), 1);
    EXPECT_TRUE(RecordClicked(r));
    EXPECT_TRUE(RecordSpace(r));
    EXPECT_TRUE(RecordTorpedoToggle(r));
    EXPECT_FALSE(RecordSeekerToggle(r));
    EXPECT_FALSE(sampler.ClickPending);
    EXPECT_EQ(target.live.PendingTicks(), 3);

    target.Release(kKeyA);
    sampler.Sample(target, 1);
    EXPECT_EQ(RecordDirection(target.live.Records()[1]), 2);
    EXPECT_FALSE(RecordTorpedoToggle(target.live.Records()[1]));  // T still held
    EXPECT_FALSE(RecordClicked(target.live.Records()[1]));
}

TEST(InputSamplerTest, TogglesFireOnceAPressAndAgainAfterARelease) {
    TFakeTarget target;
    TInputSampler sampler;
    const std::vector<std::pair<bool, bool>> frames = {
        {true, true}, {true, false}, {true, false}, {false, false}, {true, true}, {false, false}};
    for (const auto& [held, toggles] : frames) {
        if (held) {
            target.Press(kKeyR);
        } else {
            target.Release(kKeyR);
        }
        sampler.Sample(target, 1);
        EXPECT_EQ(RecordSeekerToggle(target.live.Records().back()), toggles);
    }
}

TEST(InputSamplerTest, CursorHeightIsKeptOnTheScreen) {
    const std::pair<std::int32_t, std::int32_t> cases[] = {{-1, 0}, {-500, 0}, {0, 0}, {599, 599}, {600, 599},
                                                           {5000, 599}, {250, 250}};
    for (const auto& [y, stored] : cases) {
        TFakeTarget target;
        TInputSampler sampler;
        target.cursorY = y;
        sampler.Sample(target, 1);
        EXPECT_EQ(RecordMouseY(target.live.Records()[0]), stored) << y;
    }
}

TEST(InputSamplerTest, PHandlesPauseOrScreenshotAndEscEveryFrameWhileHeld) {
    struct TCase {
        int ctrl;  // 0 none
        std::int16_t key;
    };
    for (const TCase c : {TCase{0, 80}, TCase{kKeyLeftCtrl, -2}, TCase{kKeyRightCtrl, -2}}) {
        TFakeTarget target;
        TInputSampler sampler;
        if (c.ctrl) target.Press(c.ctrl);
        target.Press(kKeyP);
        sampler.Sample(target, 1);
        sampler.Sample(target, 1);  // still held: not again
        EXPECT_EQ(target.processed, std::vector<std::int16_t>{c.key});
    }

    TFakeTarget target;
    TInputSampler sampler;
    target.Press(kKeyEscape);
    for (int i = 0; i < 3; ++i) sampler.Sample(target, 1);
    EXPECT_EQ(target.processed, (std::vector<std::int16_t>{27, 27, 27}));

    // Esc that leaves the state ends the sample there.
    TFakeTarget leaving;
    leaving.escLeaves = true;
    leaving.Press(kKeyEscape);
    sampler.Sample(leaving, 1);
    EXPECT_EQ(leaving.live.Count(), 0);
}

TEST(InputSamplerTest, NoRecordDuringALiveReplayOrAZeroTickFrameButEscStillCounts) {
    TFakeTarget target;
    TInputSampler sampler;
    target.replay = true;
    target.Press(kKeyEscape);
    target.Press(kKeyT);
    sampler.Sample(target, 2);
    EXPECT_EQ(target.live.Count(), 0);
    EXPECT_EQ(target.processed, std::vector<std::int16_t>{27});
    EXPECT_EQ(sampler.PrevKeyState[kKeyT], 0);  // kept

    target.replay = false;
    target.Release(kKeyEscape);
    sampler.Sample(target, 0);
    EXPECT_EQ(target.live.Count(), 0);
    sampler.Sample(target, 1);
    EXPECT_TRUE(RecordTorpedoToggle(target.live.Records()[0]));  // T is still new
}

TEST(InputSamplerTest, KeysReadInAFrameWithoutTicksCountInTheNextRecordOnce) {
    TFakeTarget target;
    TInputSampler sampler;
    target.Press(kKeyP);
    target.Press(kKeyT);
    target.Press(kKeySpace);
    sampler.Sample(target, 0);  // read, but no record this frame
    target.Release(kKeyP);
    target.Release(kKeyT);
    target.Release(kKeySpace);
    sampler.Sample(target, 1);
    EXPECT_EQ(target.processed, std::vector<std::int16_t>{80});
    ASSERT_EQ(target.live.Count(), 1);
    EXPECT_TRUE(RecordTorpedoToggle(target.live.Records()[0]));
    EXPECT_TRUE(RecordSpace(target.live.Records()[0]));
    sampler.Sample(target, 1);
    EXPECT_EQ(target.processed, std::vector<std::int16_t>{80});
    ASSERT_EQ(target.live.Count(), 2);
    EXPECT_FALSE(RecordTorpedoToggle(target.live.Records()[1]));
    EXPECT_FALSE(RecordSpace(target.live.Records()[1]));

    // What a live replay's frames read is not kept for later.
    target.Press(kKeyT);
    sampler.Sample(target, 0);
    target.replay = true;
    target.Release(kKeyT);
    sampler.Sample(target, 1);
    target.replay = false;
    sampler.Sample(target, 1);
    ASSERT_EQ(target.live.Count(), 3);
    EXPECT_FALSE(RecordTorpedoToggle(target.live.Records()[2]));
}

TEST(InputSamplerTest, AFailedReadCostsTheFrameItsRecordAndKeepsThePreviousState) {
    test::TLogCapture log;
    TFakeTarget target;
    TInputSampler sampler;
    target.Press(kKeyT);
    target.readThrows = true;
    sampler.Sample(target, 2);
    EXPECT_EQ(target.live.Count(), 0);
    EXPECT_EQ(target.live.PendingTicks(), 0);  // the frame runs no ticks
    EXPECT_EQ(log.Count("Error reading input device: device gone"), 1);

    target.readThrows = false;
    target.mouseThrows = true;
    sampler.Sample(target, 2);
    EXPECT_EQ(target.live.Count(), 0);
    EXPECT_EQ(log.Count("Error reading input device: Reading mouse: no pointer"), 1);
    EXPECT_EQ(sampler.PrevKeyState[kKeyT], 0);

    target.mouseThrows = false;
    sampler.Sample(target, 2);
    EXPECT_TRUE(RecordTorpedoToggle(target.live.Records()[0]));

    // A lost keyboard leaves the state as it was: no key turns new.
    target.lost = true;
    target.Release(kKeyT);
    sampler.Sample(target, 1);
    EXPECT_FALSE(RecordTorpedoToggle(target.live.Records()[1]));
    EXPECT_NE(sampler.KeyState[kKeyT], 0);
}

}  // namespace
}  // namespace qv

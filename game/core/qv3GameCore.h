// The game core: one game session inside the game window. It owns the level
// logic, the image set, the sound set, the scene and the replay pack, and
// runs the session's states:
//   0 loading   the loading picture until Enter, Space or a click
//   1 menu      on the attract level 1001
//   2 playing   a level: live, a replay of the last game, the demo or the
//               world's best
//   3 result    the finished level
//   4 high scores with name entry, on level 1002
//   5 exit      the credits picture until a key
//   6 closed    nothing more is drawn
// The window calls DoFrame with the whole 10 ms ticks since the last frame;
// the core samples input, steps its state and the logic tick by tick, plays
// the sounds the logic asked for and draws one frame. The high-score table
// and statistics of the current scenario live in the settings record. Main
// thread only.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/Random.h"
#include "foundation/qv3Environment.h"
#include "game/core/qv3GameElements.h"
#include "game/core/qv3InputSampler.h"
#include "game/logic/qv3LogicServices.h"
#include "game/core/qv3Scene.h"

namespace qv {

namespace win {
class TGameWindow;
}
namespace sys {
class IClock;
}
class TzkD3Device8;
class TzkDSound;
class TzkDIKeyboard;
class TGameGraphics;
class TGameSounds;
class TGameLogic;
class TQVX3Resources;
class TReplayPack;

// Game modes of a session.
enum : std::uint8_t { kSingleGame = 0, kWorldBestReplay = 1, kDuelGame = 2 };

// Sound ids the core plays.
enum : int {
    sndGameMusic = 0,
    sndMenuMusic = 1,
    sndHighScoreMusic = 2,
    sndComing = 6,
    sndGameOver = 8,
    sndLevelFinished = 9,
    sndDelete = 10,
    sndWrite = 11,
    sndBigTime = 12,
    sndBubbleFirework = 17,
    sndLevelStart = 20,
};

// What the core takes from the rest of the program; every member has the
// program's own as default.
struct TGameCoreServices {
    // Null: GameResources.
    TQVX3Resources* Resources = nullptr;
    // Null: the settings record Environment.
    TEnvironmentRecord* Settings = nullptr;
    // Saves the settings record. Empty: the saver the program set with
    // SetGameSettingsSaver.
    std::function<void()> SaveSettings;
    // Resets the current scenario's progress (the menu's "N"). Empty: the
    // settings record's ResetScenarioProgress and a save.
    std::function<void()> ResetScenarioProgress;
    // Cosmetic draws: menu creatures, fireworks, effects. Null: ProgramRandom.
    TRandom* Random = nullptr;
    // Draws the generation words of new levels. Null: ProgramRandom.
    TRandom* LevelRandom = nullptr;
    // Reseeds the logic's cosmetic generator. Null: the system clock.
    sys::IClock* Clock = nullptr;
    // Folder of the screenshots; empty: ProgramDir. Replays are kept in
    // UserDataDir.
    std::string SnapshotFolder;
};

// How the program saves its settings record (the settings file); cores
// made without a saver of their own use it.
void SetGameSettingsSaver(std::function<void()> saver);

class TGameCore final : public IElementCore, public IInputSampleTarget, public IEffectSink {
public:
    // `Game` may be null (then the game counts as active and the cursor at
    // the top); `Keyboard` and `Sound` may be null. Creates the scene, the
    // image set (3000 quads, low detail unless Detail is 1) and the sound
    // set; starts in state 0 with brightness 0. In world's-best mode opens
    // the pack UserDataDir + "worldbest%d.gmp". `Value` has no effect.
    TGameCore(win::TGameWindow* Game, std::uint8_t GameMode, TzkD3Device8* Device, TzkDSound* Sound,
              TzkDIKeyboard* Keyboard, std::int32_t Value, TGameCoreServices services = {});
    ~TGameCore() override;
    TGameCore(const TGameCore&) = delete;
    TGameCore& operator=(const TGameCore&) = delete;

    // Loads the images and the sounds, showing the loading screen; once.
    // A failure closes the window with "Failed to initialize".
    void InitGame();
    // One frame of 1..10 ticks; true when nothing can be drawn now (the
    // window then waits for its next event).
    bool DoFrame(std::int32_t Ticks);
    // A virtual-key code from the window or the input sample, -1 for a
    // mouse click, -2 for Ctrl+P (screenshot).
    void ProcessKey(std::int16_t Key) override;
    void Click();
    // The window lost the focus: paused.
    void Deactivate();
    void Render();
    bool IsPaused() const;

    // --- what the scene's elements use ---
    TCustomScene& Scene() override { return *SceneElements; }
    IRandomSource& ElementRandom() override { return random_; }
    const TScenarioConfig& ScenarioConfig() const override;
    float Brightness() const override { return BrightnessLevel; }
    const std::array<std::uint32_t, 4>& CornerColours() const override { return CornerColourValues; }
    void DrawFixedSprite(int index, TPointF position, TPointF scale, float angle, const std::uint32_t* colours,
                         std::int32_t layer) override;
    void DrawCreatureFrame(int type, int frame, TPointF position, TPointF scale, float angle,
                           const std::uint32_t* colours, std::int32_t layer) override;

    // --- what the input sample uses ---
    bool ReadKeyboard(std::span<std::uint8_t, 256> state) override;
    std::int32_t CursorY() override;
    bool Sampling() const override { return State == 2 || State == 3; }
    bool LivePlay() const override { return State == 2 && PlayPhase == 3; }
    bool ReplayLive() const override;
    TGameInput* LiveInput() override;

    // --- where the logic's bubbles go ---
    void AddBubble(float x, float y, float scale, float wobble, float direction, float speed,
                   std::uint32_t colour) override;

    win::TGameWindow* Game;
    std::unique_ptr<TGameLogic> Logic;
    TzkDIKeyboard* Keyboard;
    TzkD3Device8* Device;
    std::unique_ptr<TGameSounds> Sounds;
    std::unique_ptr<TGameGraphics> Graphics;
    std::unique_ptr<TCustomScene> SceneElements;
    TInputSampler Input;  // KeyState, PrevKeyState, ClickPending
    std::uint8_t GameMode;
    bool LastReplayExists = false;
    bool DemoExists = false;
    std::int32_t SnapshotCount = 0;
    std::uint8_t State = 0;
    std::array<std::uint8_t, 16> DuelRaceId{};
    std::uint8_t DuelWon = 0;
    std::vector<std::uint8_t> DuelStream;
    std::int32_t PlayFrames = 0;
    std::int32_t TotalScore = 0;
    std::string ErrorText;
    std::int32_t StateTime = 0;
    std::uint8_t ReplayKind = 0;
    std::int32_t ReplayLevel = 0;
    std::unique_ptr<TReplayPack> ReplayPack;
    std::array<std::uint32_t, 4> CornerColourValues{};
    float BrightnessLevel = 0;
    std::int32_t MenuTextTime = 0;
    std::uint8_t MenuPage = 0;
    std::uint8_t MenuAction = 0;
    float MenuTextParam = -1;
    float TitleAlpha = -1.0f;
    std::int32_t LoadProgress = 0;
    bool Initialized = false;
    bool Paused = false;
    std::uint8_t PlayPhase = 0;
    std::int32_t CountdownSecond = 10;
    std::uint8_t ResultPhase = 0;
    std::uint8_t Outcome = 0;
    std::string OutcomeText;
    std::int32_t FireworkTime = 0;
    std::uint8_t NameEntryPhase = 0;
    std::int32_t HighScoreRow = -1;
    std::int16_t NameKey = 0;
    bool LevelWon = false;
    float TitleZoom = 0;
    std::function<void(const std::string& text)> OnClose;

    void SetBrightness(float b);
    void StartGame(int Kind);
    void SetState(std::uint8_t New);
    // The row the score took, -1 none; a new best also copies the last
    // game's replay over the best one.
    std::int32_t InsertHighScore(std::int32_t Score, std::int32_t Level);
    void StoreLevelStats();
    void SaveLastReplay();
    void CloseGame();
    // Saves a 24-bit picture of the screen as "snapshoot%d.bmp"; raises on
    // failure.
    void TakeSnapshot();

    TScenarioProgress& Progress();

private:
    void MenuTick();
    void RunMenuAction();
    void IntroTick();
    void ResultTick();
    void HighScoreTick();
    void NameEditor();
    void LevelEndCheck();
    void UpdateCountdown();
    bool StartReplay();
    void SaveSettings();
    std::unique_ptr<TGameLogic> NewLogic(std::int32_t level, std::int32_t score, std::uint8_t mode);
    TLogicServices LogicServices();
    TQVX3Resources& Resources() const;

    // Screens.
    void DrawScreen();
    void DrawScenery();
    void DrawHud();
    void DrawSprites();
    void DrawHighScoreTable(float t);
    void DrawMenuHighScores(float p);
    void DrawOptionBar(TPointF position, std::int32_t percent);
    void DrawNumber(std::int32_t value, TPointF position, float scale, std::uint32_t colour);
    void FillQuad(TPointF topLeft, TPointF size, std::uint32_t colour, std::int32_t layer);

    TGameCoreServices services_;
    TRandomSource random_;
    TRandomSource levelRandom_;
    bool rendering_ = false;
    std::int32_t bigTimeRow_ = -1;
};

}  // namespace qv

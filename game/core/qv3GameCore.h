// The game core: one game session inside the game window. It owns the level
// logic, the image set, the sound set, the scene and the replay pack, and
// runs the session's states (TCoreState).
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
#include "game/data/qv3SoundIds.h"
#include "game/core/qv3DuelLink.h"
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
class TBotSprite;
class TGameLogic;
class TQVX3Resources;
class TReplayPack;

// The session's states.
enum class TCoreState : std::uint8_t {
    Loading = 0,     // the loading picture until Enter, Space or a click
    Menu = 1,        // on the attract level 1001
    Playing = 2,     // a level: live, a replay of the last game, the demo or the world's best
    Result = 3,      // the finished level
    HighScores = 4,  // high scores with name entry, on level 1002
    Exit = 5,        // the credits picture until a key
    Closed = 6,      // nothing more is drawn
};

// The steps of a level's start: a short wait, the level's name, "coming",
// then live play.
enum class TPlayPhase : std::uint8_t { Wait = 0, LevelName = 1, Coming = 2, Live = 3 };

// The result screen: the outcome typed out, then shown (a key skips on),
// then the fade-out.
enum class TResultPhase : std::uint8_t { Typing = 0, Showing = 1, FadeOut = 2 };

// What the menu does once its fade-out ends.
enum class TMenuAction : std::uint8_t { None = 0, LastReplay = 1, DuelStart = 2, Demo = 3, NewGame = 4, Exit = 5 };

// What StartGame starts.
enum class TStartKind : std::uint8_t { Menu = 0, Game = 1, Duel = 2, Replay = 3, HighScores = 4 };

// Which replay is playing.
enum class TReplayKind : std::uint8_t { None = 0, LastGame = 1, Demo = 2, WorldBest = 3 };

// How the level on the result screen ended.
enum class TOutcome : std::uint8_t { None = 0, Won = 1, Lost = 2, Close = 3, ReplayEnded = 4 };

// The high-score screen: fade-in, the table row by row, name entry, the
// table shown, fade-out.
enum class TNameEntryPhase : std::uint8_t { FadeIn = 0, Table = 1, Editing = 2, Showing = 3, FadeOut = 4 };

// Keys as ProcessKey gets them: virtual-key codes, and two of the core's own.
inline constexpr std::int16_t kVkEnter = 13;
inline constexpr std::int16_t kVkEscape = 27;
inline constexpr std::int16_t kVkSpace = 32;
inline constexpr std::int16_t kVkDemo = 68;         // D
inline constexpr std::int16_t kVkNewProgress = 78;  // N
inline constexpr std::int16_t kVkPause = 80;        // P
inline constexpr std::int16_t kVkReplay = 82;       // R
inline constexpr std::int16_t kKeyClick = -1;       // a mouse click
inline constexpr std::int16_t kKeySnapshot = -2;    // Ctrl+P

// Game modes of a session.
enum : std::uint8_t { kSingleGame = 0, kWorldBestReplay = 1, kDuelGame = 2 };

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
    // The duel connection of a duel session (not owned); null otherwise.
    IDuelLink* Duel = nullptr;
};

// How the program saves its settings record (the settings file); cores
// made without a saver of their own use it.
void SetGameSettingsSaver(std::function<void()> saver);

class TGameCore final : public IElementCore, public IInputSampleTarget, public IEffectSink {
public:
    // `Game` may be null (then the game counts as active and the cursor at
    // the top); `Keyboard` and `Sound` may be null. Creates the scene, the
    // image set (3000 quads, low detail unless Detail is 1) and the sound
    // set; starts loading with brightness 0. In world's-best mode opens
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
    // A virtual-key code from the window or the input sample, kKeyClick or
    // kKeySnapshot.
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
    bool Sampling() const override { return State == TCoreState::Playing || State == TCoreState::Result; }
    bool LivePlay() const override { return State == TCoreState::Playing && PlayPhase == TPlayPhase::Live; }
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
    TCoreState State = TCoreState::Loading;
    std::array<std::uint8_t, 16> DuelRaceId{};
    std::uint8_t DuelWon = 0;
    std::vector<std::uint8_t> DuelStream;
    std::int32_t PlayFrames = 0;
    std::int32_t TotalScore = 0;
    std::string ErrorText;
    std::int32_t StateTime = 0;
    TReplayKind ReplayKind = TReplayKind::None;
    std::int32_t ReplayLevel = 0;
    std::unique_ptr<TReplayPack> ReplayPack;
    std::array<std::uint32_t, 4> CornerColourValues{};
    float BrightnessLevel = 0;
    std::int32_t MenuTextTime = 0;
    std::uint8_t MenuPage = 0;
    TMenuAction MenuAction = TMenuAction::None;
    float MenuTextParam = -1;
    float TitleAlpha = -1.0f;
    std::int32_t LoadProgress = 0;
    bool Initialized = false;
    bool Paused = false;
    TPlayPhase PlayPhase = TPlayPhase::Wait;
    std::int32_t CountdownSecond = 10;
    TResultPhase ResultPhase = TResultPhase::Typing;
    TOutcome Outcome = TOutcome::None;
    std::string OutcomeText;
    std::int32_t FireworkTime = 0;
    TNameEntryPhase NameEntryPhase = TNameEntryPhase::FadeIn;
    std::int32_t HighScoreRow = -1;
    std::int16_t NameKey = 0;
    bool LevelWon = false;
    float TitleZoom = 0;
    std::function<void(const std::string& text)> OnClose;

    void SetBrightness(float b);
    void StartGame(TStartKind Kind);
    void SetState(TCoreState New);
    // Enters `New` even when it is the current state.
    void EnterState(TCoreState New);
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

    // Duel: makes the duel level, sends it with a new race id (host side).
    void StartDuelHost();

private:
    // Duel: the menu's wait for the opponent, the per-frame exchange while
    // live, leaving the duel, and the opponent's score and cannon.
    void DuelMenuCheck();
    void DuelTick();
    void QuitDuel();
    void DrawDuelOpponent();
    void DrawDuelScore();
    void MenuTick();
    void RunMenuAction();
    void IntroTick();
    void ResultTick();
    void HighScoreTick();
    void NameEditor();
    void LevelEndCheck();
    void UpdateCountdown();
    // A replay that cannot be played: logged, back to a fresh menu, and the
    // window closed with "Error loading replay file".
    void ReplayFailed(const std::string& message);
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
    // A creature: bent along its path when it wobbles, with its streak and
    // the shot that caught it.
    void DrawCreature(const TBotSprite& bot);
    void DrawHighScoreTable(float t);
    void DrawMenuHighScores(float p);
    void DrawOptionBar(TPointF position, std::int32_t percent);
    void DrawNumber(std::int32_t value, TPointF position, float scale, std::uint32_t colour);
    void FillQuad(TPointF topLeft, TPointF size, std::uint32_t colour, std::int32_t layer);

    TGameCoreServices services_;
    TEnvironmentRecord& settings_;  // the injected settings record, else Environment
    TRandomSource random_;
    TRandomSource levelRandom_;
    bool rendering_ = false;
    std::int32_t bigTimeRow_ = -1;
};

}  // namespace qv

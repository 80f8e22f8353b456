// The core's flow: keys, starting games and replays, changes of state, and
// the ticks of each state.
#include "game/core/qv3GameCore.h"

#include <algorithm>
#include <exception>

#include "foundation/Exceptions.h"
#include "foundation/qv3Language.h"
#include "foundation/qv3Log.h"
#include "game/assets/qv3Resources.h"
#include "game/assets/qv3Sounds.h"
#include "game/core/qv3CoreRules.h"
#include "game/core/qv3ReplayFiles.h"
#include "game/logic/qv3GameLogic.h"
#include "media/zkDInput.h"

namespace qv {

void TGameCore::ProcessKey(std::int16_t Key) {
    if (Key == kKeySnapshot) {
        try {
            TakeSnapshot();
            return;
        } catch (const std::exception& e) {
            LogMessage("Error doing snapshot: " + std::string(e.what()), lkError);
        }
    }
    switch (State) {
        case TCoreState::Loading:
            if (Key == kVkEscape) {
                CloseGame();
            } else if (Key == kVkEnter || Key == kVkSpace || Key == kKeyClick) {
                if (!Initialized) break;
                if (GameMode == kWorldBestReplay) {
                    ReplayKind = TReplayKind::WorldBest;
                    StartGame(TStartKind::Replay);
                } else if (GameMode == kDuelGame && services_.Duel && services_.Duel->View().IsHost) {
                    StartDuelHost();
                    StartGame(TStartKind::Menu);
                } else {
                    StartGame(TStartKind::Menu);
                }
            }
            break;
        case TCoreState::Menu:
            if (MenuAction != TMenuAction::None) break;
            if (Key == kVkEscape) {
                MenuAction = TMenuAction::Exit;
            } else if (GameMode != kDuelGame) {
                if (Key == kKeyClick) {
                    MenuAction = TMenuAction::NewGame;
                } else if (Key == kVkNewProgress) {
                    if (services_.ResetScenarioProgress) {
                        services_.ResetScenarioProgress();
                    } else {
                        settings_.ResetScenarioProgress(Resources().CurrentSlot());
                        SaveSettings();
                    }
                    MenuAction = TMenuAction::NewGame;
                } else if (Key == kVkReplay && LastReplayExists) {
                    MenuAction = TMenuAction::LastReplay;
                } else if (Key == kVkDemo && DemoExists) {
                    MenuAction = TMenuAction::Demo;
                }
            }
            break;
        case TCoreState::Playing:
            if (Key == kVkPause) {
                Paused = !Paused;
                if (IsPaused()) {
                    if (Keyboard) Keyboard->SetAcquired(false);
                    Sounds->Pause(sndGameMusic);
                } else {
                    Sounds->Resume(sndGameMusic);
                }
            } else if (Key == kVkEscape) {
                if (GameMode == kDuelGame) {
                    QuitDuel();
                } else if (GameMode == kWorldBestReplay) {
                    SetState(TCoreState::Exit);
                } else {
                    SaveLastReplay();
                    StartGame(TStartKind::Menu);
                }
            }
            break;
        case TCoreState::Result:
            if (ResultPhase == TResultPhase::Showing) {
                ResultPhase = TResultPhase::FadeOut;
                StateTime = 0;
            }
            break;
        case TCoreState::HighScores:
            NameKey = Key;
            break;
        case TCoreState::Exit:
            CloseGame();
            break;
        default:
            break;
    }
}

void TGameCore::StartGame(TStartKind Kind) {
    try {
        Logic.reset();
        switch (Kind) {
            case TStartKind::Menu:
                ReplayPack.reset();
                // Entered afresh even from the menu (a replay chosen there
                // failed): the action that failed must not run again.
                EnterState(TCoreState::Menu);
                Logic = NewLogic(kAttractLevel, 0, gmLive);
                break;
            case TStartKind::Game:
                SetState(TCoreState::Playing);
                Logic = NewLogic(kGameLevel, Progress().StartScore, gmLive);
                ++Progress().GamesStarted;
                break;
            case TStartKind::Duel:
                SetState(TCoreState::Playing);
                Logic = TGameLogic::CreateFromRecord(LogicServices(), gmDuel, DuelStream);
                break;
            case TStartKind::Replay:
                if (!StartReplay()) return;
                break;
            case TStartKind::HighScores:
                SetState(TCoreState::HighScores);
                Logic = NewLogic(kNameEntryLevel, 0, gmLive);
                break;
            default:
                throw Exception("Game kind not available: " + std::to_string(static_cast<int>(Kind)));
        }
    } catch (const std::exception& e) {
        LogMessage("Error setting game logic: " + std::string(e.what()), lkWarning);
        throw;
    }
}

bool TGameCore::StartReplay() {
    try {
        if (!ReplayPack) throw Exception("Level doesn't exist in file");
        const std::vector<std::uint8_t> level = ReplayPack->GetLevel(ReplayLevel);
        SetState(TCoreState::Playing);
        Logic = TGameLogic::CreateFromRecord(LogicServices(), gmReplay, level);
        return true;
    } catch (const std::exception& e) {
        ReplayFailed(e.what());
        return false;
    }
}

void TGameCore::ReplayFailed(const std::string& message) {
    LogMessage("Error loading replay file in mode: " + std::to_string(static_cast<int>(ReplayKind)) + ": " + message,
               lkError);
    StartGame(TStartKind::Menu);
    ErrorText = "Error loading replay file";
    CloseGame();
}

void TGameCore::SetState(TCoreState New) {
    if (State != New) EnterState(New);
}

void TGameCore::EnterState(TCoreState New) {
    StateTime = 0;
    if (!((State == TCoreState::Playing || State == TCoreState::Result) && (New == TCoreState::Result || New == TCoreState::HighScores))) SceneElements->Clear();
    switch (New) {
        case TCoreState::Loading:
            Initialized = false;
            break;
        case TCoreState::Menu:
            Sounds->StopAll();
            MenuAction = TMenuAction::None;
            TitleAlpha = 0;
            MenuPage = 0;
            MenuTextTime = 0;
            ReplayKind = TReplayKind::None;
            FireworkTime = 0;
            MenuTextParam = -1;
            HighScoreRow = -1;
            SetBrightness(0);
            new TGEEffect(this);
            for (int i = 0; i < 200; ++i) SceneElements->AnimateLayer(0);
            break;
        case TCoreState::Playing:
            Sounds->StopAll();
            Paused = false;
            PlayPhase = TPlayPhase::Wait;
            CountdownSecond = 10;
            Input.ClickPending = false;
            new TGEEffect(this);
            for (int i = 0; i < 200; ++i) SceneElements->AnimateLayer(0);
            break;
        case TCoreState::Result:
            ResultPhase = TResultPhase::Typing;
            Sounds->Stop(sndGameMusic);
            break;
        case TCoreState::HighScores:
            TitleZoom = 0;
            NameEntryPhase = TNameEntryPhase::FadeIn;
            break;
        default:
            break;
    }
    if (New != TCoreState::Playing && Keyboard) Keyboard->SetAcquired(false);
    if (New == TCoreState::Menu && GameMode != kDuelGame) {
        LastReplayExists = TReplayFile(LastReplayPath(Resources().CurrentSlot())).LevelCount() > 0;
        DemoExists = Resources().HasResource(kDemoReplayResource);
    }
    State = New;
}

// --- ticks ---

void TGameCore::MenuTick() {
    if (GameMode == kDuelGame && MenuAction == TMenuAction::None) DuelMenuCheck();
    if (MenuAction != TMenuAction::None) {
        SetBrightness(std::max(0.0f, BrightnessLevel - 0.02f));
        TitleAlpha = std::max(0.0f, TitleAlpha - 0.02f);
        if (TitleAlpha <= 0) RunMenuAction();
        return;
    }
    if (random_.Uniform() < 0.0075) new TGEMenuBot(this);
    if (TitleAlpha < 1) {
        TitleAlpha = std::min(1.0f, TitleAlpha + 1.0f / 30.0f);
    } else if (BrightnessLevel < 1) {
        SetBrightness(std::min(1.0f, BrightnessLevel + 0.02f));
        if (BrightnessLevel >= 1) Sounds->Play(sndMenuMusic, -1);
    } else {
        if (StateTime > 45000 && DemoExists) {
            MenuAction = TMenuAction::Demo;
            RunMenuAction();
            return;
        }
        TMenuCaption caption{MenuTextTime, MenuPage, MenuTextParam};
        const TMenuPages pages{LastReplayExists, DemoExists, Progress().HighScores[0].IsSet()};
        StepMenuCaption(caption, pages);
        MenuTextTime = caption.MenuTextTime;
        MenuPage = caption.MenuPage;
        MenuTextParam = caption.MenuTextParam;
    }
}

void TGameCore::RunMenuAction() {
    const TMenuAction action = MenuAction;
    switch (action) {
        case TMenuAction::LastReplay:
            ReplayKind = TReplayKind::LastGame;
            ReplayPack = std::make_unique<TReplayPack>(TReplayFile(LastReplayPath(Resources().CurrentSlot())));
            ReplayLevel = ReplayPack->LevelCount();
            StartGame(TStartKind::Replay);
            break;
        case TMenuAction::Demo: {
            ReplayKind = TReplayKind::Demo;
            ReplayLevel = 1;
            try {
                ReplayPack = std::make_unique<TReplayPack>(TReplayPack::FromStream(Resources().OpenResource(kDemoReplayResource)));
            } catch (const std::exception& e) {
                ReplayPack.reset();
                ReplayFailed(e.what());
                break;
            }
            StartGame(TStartKind::Replay);
            break;
        }
        case TMenuAction::NewGame:
            StartGame(TStartKind::Game);
            break;
        case TMenuAction::DuelStart:
            StartGame(TStartKind::Duel);
            break;
        case TMenuAction::Exit:
            if (GameMode == kDuelGame) {
                QuitDuel();
                return;
            }
            SetState(TCoreState::Exit);
            break;
        default:
            break;
    }
    SetBrightness(BrightnessLevel);
}

void TGameCore::IntroTick() {
    switch (PlayPhase) {
        case TPlayPhase::Wait:
            if (StateTime >= 100) {
                StateTime = 0;
                PlayPhase = TPlayPhase::LevelName;
                Sounds->Play(sndLevelStart, -1);
            }
            break;
        case TPlayPhase::LevelName:
            SetBrightness(std::min(1.0f, BrightnessLevel + 0.02f));
            if (StateTime >= 1500) {
                PlayPhase = TPlayPhase::Coming;
                StateTime = 0;
                Sounds->Play(sndComing, -1);
            }
            break;
        case TPlayPhase::Coming:
            if (StateTime >= 2500) {
                PlayPhase = TPlayPhase::Live;
                if (Logic) Logic->LiveInput.Clear();
                Sounds->Play(sndGameMusic, -1);
            }
            break;
        default:
            break;
    }
}

void TGameCore::LevelEndCheck() {
    if (State != TCoreState::Playing || GameMode == kDuelGame || !Logic || !Logic->Finished) return;
    if (Logic->Mode == gmReplay) {
        Outcome = TOutcome::ReplayEnded;
        OutcomeText = LangText(341);
    } else {
        SaveLastReplay();
        if (Logic->Won) {
            if (Logic->LevelNumber != kGameLevel) {
                LogMessage("This can't happen", lkWarning);
                return;
            }
            Outcome = TOutcome::Won;
            OutcomeText = LangText(343);
        } else {
            Outcome = TOutcome::Lost;
            OutcomeText = LangText(344);
        }
    }
    SetState(TCoreState::Result);
    Sounds->Play(Outcome == TOutcome::Won ? sndLevelFinished : sndGameOver, -1);
}

void TGameCore::ResultTick() {
    switch (ResultPhase) {
        case TResultPhase::Typing:
            if (StateTime > 1500) {
                ResultPhase = TResultPhase::Showing;
                StateTime = 0;
            }
            break;
        case TResultPhase::Showing:
            if (StateTime > 1500) {
                ResultPhase = TResultPhase::FadeOut;
                StateTime = 0;
            }
            break;
        case TResultPhase::FadeOut: {
            SetBrightness(std::max(0.0f, BrightnessLevel - 0.02f));
            SetBrightness(std::max(0.0f, BrightnessLevel - 0.02f));
            if (BrightnessLevel > 0) break;
            if (!Logic && (Outcome == TOutcome::Won || Outcome == TOutcome::Lost)) return;
            switch (Outcome) {
                case TOutcome::Won:
                    StoreLevelStats();
                    HighScoreRow = InsertHighScore(Logic->Score, Logic->LevelNumber);
                    LevelWon = true;
                    StartGame(TStartKind::HighScores);
                    break;
                case TOutcome::Lost:
                    HighScoreRow = InsertHighScore(Logic->Score, Logic->LevelNumber);
                    if (HighScoreRow == -1) {
                        StartGame(TStartKind::Menu);
                    } else {
                        LevelWon = false;
                        StartGame(TStartKind::HighScores);
                    }
                    break;
                case TOutcome::Close:
                    CloseGame();
                    break;
                case TOutcome::ReplayEnded:
                    if (!ReplayPack || ReplayLevel >= ReplayPack->LevelCount()) {
                        ReplayPack.reset();
                        if (ReplayKind == TReplayKind::WorldBest) {
                            SetState(TCoreState::Exit);
                        } else {
                            StartGame(TStartKind::Menu);
                        }
                    } else {
                        ++ReplayLevel;
                        StartGame(TStartKind::Replay);
                    }
                    break;
                default:
                    LogMessage("This can't happen", lkWarning);
                    return;
            }
            SetBrightness(BrightnessLevel);
            break;
        }
        default:
            break;
    }
}

void TGameCore::HighScoreTick() {
    if (LevelWon) {
        FireworkTime += 10;
        while (FireworkTime >= 300) {
            FireworkTime -= 300 + static_cast<std::int32_t>(random_.Uniform() * 1000);
            const auto x = static_cast<float>(random_.Uniform() * 800);
            const auto y = static_cast<float>(random_.Uniform() * 600);
            for (int i = 0; i < 101; ++i) {
                const auto r = random_.Below(128);
                const auto g = random_.Below(128);
                const auto b = random_.Below(128);
                const std::uint32_t colour = 0xA0808080u | (r << 16 | g << 8 | b);
                const auto direction = static_cast<float>(random_.Uniform() * 2 * 3.14159265358979);
                const auto speed = static_cast<float>(10 + random_.Uniform() * 20);
                const auto scale = static_cast<float>(0.10 + random_.Uniform() * 0.15);
                new TGEBubble(this, x, y, scale, 0, direction, speed, colour);
            }
            Sounds->Play(sndBubbleFirework, -1);
        }
    }
    TitleZoom = std::min(1.0f, TitleZoom + 0.005f);
    switch (NameEntryPhase) {
        case TNameEntryPhase::FadeIn:
            SetBrightness(std::min(1.0f, BrightnessLevel + 0.02f));
            if (BrightnessLevel >= 1) {
                NameEntryPhase = TNameEntryPhase::Table;
                bigTimeRow_ = -1;
                Sounds->Play(sndHighScoreMusic, -1);
            }
            break;
        case TNameEntryPhase::Table: {
            // One table row every 640 ms, each with its sound.
            const std::int32_t row = StateTime / 640;
            if (row < 9 && row != bigTimeRow_) Sounds->Play(sndBigTime, -1);
            bigTimeRow_ = row;
            StateTime += 10;
            if (NameKey == kVkEscape && HighScoreRow < 0) {
                NameKey = 0;
                StartGame(TStartKind::Menu);
                return;
            }
            if (StateTime > 8160) {
                NameEntryPhase = HighScoreRow >= 0 ? TNameEntryPhase::Editing : TNameEntryPhase::Showing;
                StateTime = 0;
            }
            NameEditor();
            break;
        }
        case TNameEntryPhase::Editing:
            NameEditor();
            break;
        case TNameEntryPhase::Showing:
            StateTime += 10;
            if (StateTime > 20000 || NameKey != 0) {
                NameKey = 0;
                NameEntryPhase = TNameEntryPhase::FadeOut;
            }
            break;
        case TNameEntryPhase::FadeOut:
            SetBrightness(std::max(0.0f, BrightnessLevel - 0.02f));
            if (BrightnessLevel <= 0) StartGame(TStartKind::Menu);
            break;
        default:
            break;
    }
}


}  // namespace qv

#include "app/Application.h"
#include "app/FrameTimer.h"

#include "platform/SoundManager.h"

namespace {

constexpr SceneRoutines Routines(void (*enter)(Application&), void (*update)(Application&),
                                 void (*draw)(Application&)) {
  SceneRoutines r;
  r.enter = enter;
  r.update = update;
  r.draw = draw;
  return r;
}

// One function per routine, so scenes that share a routine share its pointer.
template <void (Application::*Routine)()>
void Call(Application& app) {
  (app.*Routine)();
}

void EnterTitle(Application& app) { app.InitTitle(0); }

#define SCENE_ROUTINE(name) &Call<&Application::name>

SceneTable BuildGameTable() {
  SceneTable t{};
  t[SceneTitle] = Routines(&EnterTitle, SCENE_ROUTINE(UpdateTitle), SCENE_ROUTINE(DrawTitle));
  t[SceneStageIntro] = Routines(SCENE_ROUTINE(InitStageIntro), SCENE_ROUTINE(UpdateStageIntro),
                                SCENE_ROUTINE(DrawStageIntro));
  t[SceneStage1] =
      Routines(SCENE_ROUTINE(InitStage1), SCENE_ROUTINE(UpdateStage1), SCENE_ROUTINE(DrawStage));
  t[SceneStage2] =
      Routines(SCENE_ROUTINE(InitStage2), SCENE_ROUTINE(UpdateStage2), SCENE_ROUTINE(DrawStage));
  t[SceneStage3] =
      Routines(SCENE_ROUTINE(InitStage3), SCENE_ROUTINE(UpdateStage3), SCENE_ROUTINE(DrawStage));
  // 6 and 7 have no scene of their own but still draw what the stage state holds.
  t[6] = Routines(nullptr, nullptr, SCENE_ROUTINE(DrawStage));
  t[7] = Routines(nullptr, nullptr, SCENE_ROUTINE(DrawStage));
  t[SceneSokai] =
      Routines(SCENE_ROUTINE(InitSokai), SCENE_ROUTINE(UpdateSokai), SCENE_ROUTINE(DrawStage));
  t[SceneBattleSettings] =
      Routines(SCENE_ROUTINE(InitBattleSettings), SCENE_ROUTINE(UpdateBattleSettings),
               SCENE_ROUTINE(DrawBattleSettings));
  t[SceneCharacterSelect] =
      Routines(SCENE_ROUTINE(InitCharacterSelect), SCENE_ROUTINE(UpdateCharacterSelect),
               SCENE_ROUTINE(DrawCharacterSelect));
  t[SceneStageSelect] = Routines(SCENE_ROUTINE(InitStageSelect), SCENE_ROUTINE(UpdateStageSelect),
                                 SCENE_ROUTINE(DrawStageSelect));
  t[SceneBattle] =
      Routines(SCENE_ROUTINE(InitBattle), SCENE_ROUTINE(UpdateBattle), SCENE_ROUTINE(DrawBattle));
  t[SceneOptions] = Routines(SCENE_ROUTINE(InitOptions), SCENE_ROUTINE(UpdateOptions),
                             SCENE_ROUTINE(DrawOptions));
  t[SceneButtonConfig1P] =
      Routines(SCENE_ROUTINE(InitButtonConfig1P), SCENE_ROUTINE(UpdateButtonConfig1P),
               SCENE_ROUTINE(DrawButtonConfig1P));
  t[SceneButtonConfig2P4P] =
      Routines(SCENE_ROUTINE(InitButtonConfig2P4P), SCENE_ROUTINE(UpdateButtonConfig2P4P),
               SCENE_ROUTINE(DrawButtonConfig2P4P));
  // The pages share their routines and tell themselves apart by the scene number.
  for (int id = SceneRanking1; id <= SceneRanking4; ++id)
    t[id] = Routines(SCENE_ROUTINE(InitRanking), SCENE_ROUTINE(UpdateRanking),
                     SCENE_ROUTINE(DrawRanking));
  for (int id = SceneNameEntry1; id <= SceneNameEntry4; ++id)
    t[id] = Routines(SCENE_ROUTINE(InitNameEntry), SCENE_ROUTINE(UpdateNameEntry),
                     SCENE_ROUTINE(DrawNameEntry));
  return t;
}

#undef SCENE_ROUTINE

}  // namespace

const SceneTable& GameSceneTable() {
  static const SceneTable table = BuildGameTable();
  return table;
}

namespace {
const SceneRoutines* RoutinesOf(const SceneTable& table, int32_t id) {
  if (id < 1 || id > SceneIdLast) return nullptr;
  return &table[static_cast<size_t>(id)];
}
}  // namespace

void Application::Frame() {
  if (!windowActive) {
    // Nothing moves while another window has the focus.
    g_frameTimer.Sleep(500.0);
    return;
  }
  const SceneTable& scenes = Scenes();
  if (requestedScene != SceneNone) {
    currentScene = requestedScene;
    if (const SceneRoutines* r = RoutinesOf(scenes, currentScene); r && r->enter) r->enter(*this);
    // Cleared after the enter routine: a request it wrote is dropped, on
    // purpose (SceneDispatchTest.RequestWrittenByAnEnterRoutineIsDropped).
    requestedScene = SceneNone;
  }
  if (const SceneRoutines* r = RoutinesOf(scenes, currentScene); r && r->update) r->update(*this);
  Draw();
  g_sound.Flush();
}

void Application::Draw() {
  if (const SceneRoutines* r = RoutinesOf(Scenes(), currentScene); r && r->draw) r->draw(*this);
}

// Scene routines not written yet. Each moves to its scene's own file when
// that scene is written; until then entering one does nothing.
#include "app/Application.h"

void Application::InitBattleSettings() {}
void Application::UpdateBattleSettings() {}
void Application::DrawBattleSettings() {}
void Application::InitCharacterSelect() {}
void Application::UpdateCharacterSelect() {}
void Application::DrawCharacterSelect() {}
void Application::InitStageSelect() {}
void Application::UpdateStageSelect() {}
void Application::DrawStageSelect() {}

void Application::InitBattle() {}
void Application::UpdateBattle() {}
void Application::DrawBattle() {}

void Application::InitOptions() {}
void Application::UpdateOptions() {}
void Application::DrawOptions() {}
void Application::InitButtonConfig1P() {}
void Application::UpdateButtonConfig1P() {}
void Application::DrawButtonConfig1P() {}
void Application::InitButtonConfig2P4P() {}
void Application::UpdateButtonConfig2P4P() {}
void Application::DrawButtonConfig2P4P() {}

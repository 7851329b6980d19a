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

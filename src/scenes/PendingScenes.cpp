// Scene routines not written yet. Each moves to its scene's own file when
// that scene is written; until then entering one does nothing.
#include "app/Application.h"

void Application::InitBattle() {}
void Application::UpdateBattle() {}
void Application::DrawBattle() {}

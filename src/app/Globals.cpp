// Every program-wide object of the game is defined here and nowhere else, so
// that their order is one fixed order: the objects are built before main in
// the order below and destroyed at exit in the reverse order. Their
// constructors set defaults only; Application::Init acquires the resources
// and Application::Shutdown releases them. Each is declared in the header of
// its own class, in whichever layer that class lives.
#include "actors/ObjectClassResources.h"
#include "actors/Player.h"
#include "app/Application.h"
#include "app/FrameTimer.h"
#include "app/WindowProc.h"
#include "platform/GraphicsDevice.h"
#include "platform/InputDevice.h"
#include "platform/SoundManager.h"
#include "render/Camera.h"
#include "world/CharacterList.h"
#include "world/EffectList.h"
#include "world/KvFile.h"
#include "world/ObjectList.h"
#include "world/StageField.h"
#include "world/Sun.h"

// The singletons, in their fixed order.
Application g_app;
FrameTimer g_frameTimer;
uint8_t& g_quit = g_frameTimer.quit;
GraphicsDevice g_graphics;
InputDevice g_input;
Camera g_camera;
Sun g_sun;
CharacterList g_characters;
StageField g_stageField;
ObjectList g_objects(LoadObjectClassResources, ReleaseObjectClassResources);
Player g_player;
SoundManager g_sound;
EffectList g_effects;

// The program's window values (written by RunProgram and CreateMainWindow).
port::Window* g_hWnd = nullptr;
uint8_t g_fullScreen = 0;  // 1 full screen, 0 window

// The one open key=value file, or null.
std::FILE* g_kvFile = nullptr;

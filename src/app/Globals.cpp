// The program-wide objects, built before main in this order and destroyed
// at exit in the reverse order. Their constructors set defaults only.
#include "actors/ObjectClassResources.h"
#include "actors/Player.h"
#include "app/Application.h"
#include "app/FrameTimer.h"
#include "platform/GraphicsDevice.h"
#include "platform/InputDevice.h"
#include "platform/SoundManager.h"
#include "render/Camera.h"
#include "world/CharacterList.h"
#include "world/EffectList.h"
#include "world/ObjectList.h"
#include "world/StageField.h"

Application g_app;
FrameTimer g_frameTimer;
uint8_t& g_quit = g_frameTimer.quit;
GraphicsDevice g_graphics;
InputDevice g_input;
Camera g_camera;
// Here, as its class is written: g_sun (Sun).
CharacterList g_characters;
StageField g_stageField;
ObjectList g_objects(LoadObjectClassResources, ReleaseObjectClassResources);
Player g_player;
SoundManager g_sound;
EffectList g_effects;

// The program-wide objects, built before main in this order and destroyed
// at exit in the reverse order. Their constructors set defaults only.
#include "app/Application.h"
#include "app/FrameTimer.h"
#include "platform/GraphicsDevice.h"
#include "platform/InputDevice.h"
#include "platform/SoundManager.h"

Application g_app;
FrameTimer g_frameTimer;
uint8_t& g_quit = g_frameTimer.quit;
GraphicsDevice g_graphics;
InputDevice g_input;
// Here, as their classes are written: g_camera (Camera), g_sun (Sun),
// g_characters (CharacterList), g_stageField (StageField),
// g_objects (ObjectList), g_player (Player).
SoundManager g_sound;
// After the sound manager: g_effects (EffectList).

// The program-wide objects, built before main in this order and destroyed
// at exit in the reverse order. Their constructors set defaults only.
#include "app/Application.h"
#include "app/FrameTimer.h"
#include "platform/GraphicsDevice.h"

Application g_app;
FrameTimer g_frameTimer;
uint8_t& g_quit = g_frameTimer.quit;
GraphicsDevice g_graphics;
// Still to come, in this order, as their classes are written:
//   g_input (InputDevice), g_camera (Camera), g_sun (Sun),
//   g_characters (CharacterList), g_stageField (StageField),
//   g_objects (ObjectList), g_player (Player), g_sound (SoundManager),
//   g_effects (EffectList).

#include "datagen/manifest.h"

#include <algorithm>

namespace datagen {

namespace {

using M = Motion;

std::vector<CharacterFiles> MakeCharacters() {
  std::vector<CharacterFiles> c;
  // Stage player and battle character 1.
  c.push_back({"Xfile/player/",
               {{"stop.X", 60, M::Idle},
                {"run.X", 40, M::Run},
                {"walk.X", 60, M::Walk},
                {"side_walk.X", 40, M::SideWalk},
                {"normal_attack.X", 20, M::Attack},
                {"damage_small.X", 30, M::Damage},
                {"jump_downer.X", 30, M::Jump},
                {"largeattack1.X", 50, M::Throw},
                {"largeattack2.X", 60, M::Spin},
                {"timeup.X", 60, M::TimeUp},
                {"gameover.X", 40, M::Fall},
                {"gameclear.X", 60, M::Cheer},
                {"piyori.X", 60, M::Dizzy}},
               {{"select_pausing.X", 60, M::Pose}}});
  const int la1[3] = {50, 35, 10};
  const int la2[3] = {60, 40, 40};
  const Motion la1m[3] = {M::Throw, M::Cast, M::Stomp};
  const Motion la2m[3] = {M::AttackBoth, M::Spin, M::Blow};
  for (int i = 0; i < 3; ++i) {
    c.push_back({"Xfile/battleplayer" + std::to_string(i + 2) + "p/",
                 {{"stop.X", 60, M::Idle},
                  {"run.X", 40, M::Run},
                  {"walk.X", 60, M::Walk},
                  {"side_walk.X", 40, M::SideWalk},
                  {"normal_attack.X", 20, M::Attack},
                  {"damage_small.X", 30, M::Damage},
                  {"jump.X", 30, M::Jump},
                  {"largeattack1.X", la1[i], la1m[i]},
                  {"largeattack2.X", la2[i], la2m[i]},
                  {"lose.X", 40, M::Fall},
                  {"win.X", 40, M::Cheer},
                  {"piyori.X", 60, M::Dizzy}},
                 {{"select_pausing.X", 60, M::Pose}}});
  }
  // Zako1 and the sokai Zako1b share the folder; dying2.X is the sokai one.
  c.push_back({"Xfile/zako1/",
               {{"stop.X", 60, M::Idle},
                {"run.X", 40, M::Run},
                {"pause.X", 40, M::Pause},
                {"dying.X", 241, M::Fall}},
               {{"dying2.X", 20, M::SpinHold}}});
  c.push_back({"Xfile/zako2/",
               {{"stop.X", 60, M::Idle},
                {"walk.X", 60, M::Walk},
                {"attack.X", 31, M::Attack},
                {"pausing.X", 40, M::Pause},
                {"dying.X", 121, M::Fall},
                {"damage.X", 30, M::Damage}},
               {}});
  c.push_back({"Xfile/zako3/",
               {{"stop.X", 60, M::Idle},
                {"run.X", 40, M::Run},
                {"jump.X", 30, M::Jump},
                {"attack.X", 43, M::AttackBoth},  // both hands forward at the shot, t 25
                {"levy.X", 40, M::Levy},
                {"dying.X", 121, M::Fall},  // 120 frames at step 1, looping: it must not rise
                {"damage.X", 41, M::Damage}},
               {}});
  c.push_back({"Xfile/zako4/",
               {{"stop.X", 60, M::Idle},
                {"run.X", 40, M::Run},
                {"jump.X", 30, M::Jump},
                {"jump_dush.X", 30, M::JumpDash},
                {"attack1.X", 31, M::Attack},      // the punch at the fan, t 14.75
                {"attack2.X", 40, M::AttackLeft},  // the punch at the fan, t 20
                {"attack3.X", 31, M::Spin},        // arms out mid-spin at the rings, t 10
                {"attack4.X", 36, M::Blow},        // both hands out at the blow, t 20
                {"levy.X", 40, M::Levy},
                {"damage.X", 41, M::Damage},
                {"dying.X", 51, M::Fall}},
               {}});
  c.push_back({"Xfile/1boss/",
               {{"stop.X", 60, M::Idle},
                {"side_walk.X", 40, M::SideWalk},
                {"run.X", 40, M::Run},
                {"normal_attack.X", 30, M::AttackHold},
                {"middle_attack.X", 21, M::AttackBoth},
                {"large_attack.X", 41, M::Throw},
                {"levy.X", 41, M::Roar},
                {"damage.X", 31, M::Damage},
                {"dying.X", 121, M::Fall}},
               {}});
  c.push_back({"Xfile/2boss/",
               {{"stop.X", 60, M::Idle},
                {"walk.X", 60, M::Walk},
                {"side_walk.X", 40, M::SideWalk},
                {"run.X", 40, M::Run},
                {"side_step_right.X", 20, M::StepRight},
                {"side_step_left.X", 20, M::StepLeft},
                {"jump.X", 30, M::Jump},
                {"attack1.X", 45, M::AttackLeft},
                {"attack2.X", 40, M::AttackBoth},
                {"large_attack.X", 81, M::Throw},
                {"levy.X", 40, M::Roar},
                {"damage.X", 30, M::DamageHold},
                {"dying.X", 38, M::Fall}},
               {}});
  c.push_back({"Xfile/3boss/",
               {{"stop.X", 60, M::Idle},
                {"run.X", 40, M::Run},
                {"attack1.X", 47, M::Cast},
                {"attack2.X", 27, M::AttackBoth},
                {"levy.X", 67, M::Roar},
                {"damage.X", 30, M::Damage},
                {"dying.X", 53, M::Fall}},
               {}});
  return c;
}

std::vector<UiSheet> MakeSheets() {
  std::vector<UiSheet> s;
  s.push_back({"texture/stage_text.png",
               256,
               256,
               {{24, 0, 0, 118, 42, "よーい"},
                {25, 124, 1, 221, 41, "スタート!"},
                {26, 0, 56, 207, 94, "のこり時間"},
                {27, 0, 159, 197, 202, "タイムオーバー"},
                {28, 1, 108, 255, 148, "ゲームオーバー"},
                {29, 0, 215, 234, 255, "ステージクリア!"}}});
  s.push_back({"texture/pausetext.png",
               512,
               256,
               {{75, 0, 0, 219, 70, "ポーズ"},
                {76, 0, 92, 503, 165, "ゲームにもどる"},
                {77, 0, 186, 503, 255, "タイトルへもどる"}}});
  s.push_back({"texture/sokaitext.png",
               512,
               512,
               {{78, 11, 8, 415, 71, "ランクイン!"},
                {79, 11, 93, 496, 160, "ゲームオーバー"},
                {80, 257, 177, 508, 249, "たおした数"},
                {81, 0, 180, 240, 246, "コンボ"},
                {82, 180, 265, 508, 335, "コンボ"},
                {83, 5, 265, 508, 335, "最大"},
                {84, 10, 358, 260, 419, "スコア"},
                {85, 342, 441, 505, 511, "けっか"},
                {86, 6, 438, 334, 509, "ボーナス"},
                {87, 261, 355, 420, 421, "平均"},
                {88, 436, 19, 497, 54, "="},
                {89, 440, 361, 495, 414, "×"}}});
  // Ids 7 and 9 reach past 512 pixels: the sheet is 1024 wide.
  s.push_back({"texture/title/course.png",
               1024,
               512,
               {{2, 315, 6, 391, 73, "▶"},
                {3, 0, 0, 262, 76, "ステージモード"},
                {4, 0, 90, 448, 160, "そうかいステージ"},
                {5, 6, 178, 353, 247, "タイムアタック"},
                {6, 0, 270, 400, 334, "チャレンジ"},
                {7, 0, 357, 517, 436, "バトルモード"},
                {9, 234, 438, 514, 508, "オプション"},
                {10, 0, 444, 235, 508, "おわる"}}});
  s.push_back({"texture/optiontext.png",
               512,
               512,
               {{8, 10, 328, 365, 380, "ランキング"},
                {65, 5, 4, 441, 62, "ボリューム"},
                {66, 0, 68, 507, 123, "初期設定にもどす"},
                {67, 0, 130, 292, 188, "ボタン設定"},
                {68, 292, 133, 438, 186, "もどる"},
                {69, 3, 201, 287, 252, "アタック"},
                {70, 300, 201, 500, 250, "シフト"},
                {71, 8, 262, 294, 317, "ジャンプ"},
                {72, 297, 260, 508, 320, "ボタン"},
                {73, 4, 390, 435, 450, "(ロックオン)"},
                {74, 224, 457, 432, 511, "決定"}}});
  s.push_back({"texture/optiontext2.png",
               512,
               512,
               {{57, 2, 0, 303, 76, "はい"},
                {58, 309, 0, 507, 76, "いいえ"},
                {59, 5, 90, 196, 166, "オン"},
                {60, 207, 90, 507, 166, "オフ"},
                {61, 0, 267, 362, 332, "画面モード"},
                {62, 0, 357, 358, 423, "ウィンドウ"},
                {63, 0, 446, 503, 510, "フルスクリーン"},
                {64, 0, 176, 364, 247, "視点タイプ"}}});
  s.push_back({"texture/battle/battlesetting_text.png",
               256,
               256,
               {{32, 147, 44, 214, 80, "点"},
                {36, 1, 47, 145, 80, "プレイヤー"},
                {37, 3, 90, 106, 123, "時間"},
                {38, 1, 134, 145, 167, "描画間隔"},
                {39, 79, 48, 106, 77, "人"},
                {40, 113, 90, 249, 124, "秒"},
                {41, 220, 45, 237, 82, "/"},
                {42, 185, 132, 253, 166, "毎"},
                {43, 223, 136, 253, 166, "回"},
                {45, 2, 177, 141, 211, "スタート"},
                {46, 150, 178, 215, 212, "もどる"},
                {49, 12, 221, 54, 253, "1P"},
                {50, 61, 221, 110, 253, "2P"},
                {51, 117, 221, 164, 253, "3P"},
                {52, 170, 221, 220, 253, "4P"},
                {54, 0, 0, 146, 36, "スタート"}}});
  s.push_back({"texture/battle/battle_text.png",
               256,
               256,
               {{30, 174, 72, 241, 79, "-"},
                {31, 174, 72, 241, 79, "-"},
                {33, 2, 213, 128, 256, "のこり"},
                {34, 127, 213, 189, 254, "かち"},
                {35, 194, 213, 254, 254, "まけ"},
                {44, 2, 108, 126, 148, "バトル設定"},
                {47, 3, 53, 160, 103, "キャラクター"},
                {48, 131, 3, 250, 42, "せんたく"},
                {53, 4, 0, 250, 41, "ステージせんたく"},
                {55, 133, 109, 250, 148, "もういちど"},
                {56, 4, 163, 218, 201, "タイトルへ"}}});
  // Id 96 reaches down to 544: the sheet is 1024 high.
  s.push_back({"texture/rankingtext.png",
               512,
               1024,
               {{90, 8, 3, 169, 67, "1位"},
                {91, 178, 3, 339, 68, "2位"},
                {92, 349, 3, 510, 68, "3位"},
                {93, 8, 90, 169, 155, "4位"},
                {94, 178, 90, 340, 156, "5位"},
                {95, 13, 179, 250, 245, "なまえ"},
                {96, 9, 444, 335, 544, "ステージ"},
                {97, 263, 181, 505, 246, "タイム"},
                {98, 341, 89, 474, 155, "ランク"},
                {99, 278, 356, 509, 420, "到達"},
                {113, 481, 109, 501, 154, ":"}}});
  s.push_back({"texture/endresstext.png",
               512,
               512,
               {{100, 9, 6, 74, 102, "0"},
                {101, 93, 6, 156, 103, "1"},
                {102, 179, 6, 245, 106, "2"},
                {103, 267, 6, 333, 106, "3"},
                {104, 349, 6, 415, 106, "4"},
                {105, 433, 6, 499, 106, "5"},
                {106, 9, 139, 74, 235, "6"},
                {107, 94, 139, 160, 235, "7"},
                {108, 178, 139, 244, 235, "8"},
                {109, 265, 139, 331, 235, "9"},
                {110, 7, 279, 249, 370, "クリア"},
                {111, 7, 407, 340, 508, "オールクリア"},
                {112, 262, 266, 511, 372, "完全制覇"}}});
  s.push_back({"texture/stageintroduce/stage_introduce1.png",
               512,
               512,
               {{11, 0, 0, 303, 60, "つぎのステージ"},
                {12, 0, 79, 499, 133, "ステージ1 みなみの島"},
                {13, 0, 152, 454, 208, "ステージ2 よるの町"},
                {14, 0, 226, 393, 282, "ステージ3 古城"},
                {15, 331, 302, 454, 358, "決戦"},
                {16, 0, 303, 273, 358, "ボスをたおせ"},
                {17, 0, 378, 212, 433, "スタート"},
                {18, 0, 452, 364, 508, "ぜんぶたおせ"},
                {19, 240, 377, 363, 433, "ゴール"}}});
  s.push_back({"texture/stageintroduce/stage_introduce2.png",
               256,
               256,
               {{-1, 129, 126, 232, 256, "▼"},
                {-1, 0, 72, 106, 115, "▶"},       // drawn turned toward each place
                {-1, 0, 0, 256, 58, "スタート"},  // the first pointer: the start
                {-1, 21, 123, 127, 253, "▼"},
                {-1, 138, 60, 247, 127, "ボス"}}});  // the second: the boss
  // The digit and letter cells of the font; the tests check them like the rest.
  UiSheet font{"texture/font.png", 256, 512, {}};
  for (int d = 0; d < 10; ++d) {
    int top = d < 8 ? 2 : 46;
    font.rects.push_back({-1, 32 * (d % 8) + 3, top, 32 * (d % 8) + 27, top + 31, "digit"});
  }
  for (int n = 0; n <= 46; ++n)
    font.rects.push_back(
        {-1, 32 * (n % 8) + 3, 44 * (n / 8), 32 * (n % 8) + 27, 44 * (n / 8) + 37, "letter"});
  s.push_back(font);
  return s;
}

std::vector<ManifestEntry> MakeManifest() {
  std::vector<ManifestEntry> m;
  auto add = [&](std::string p, DataKind k) { m.push_back({std::move(p), k}); };
  for (const CharacterFiles& c : Characters()) {
    for (size_t i = 0; i < c.files.size(); ++i)
      add(c.folder + c.files[i].name, i == 0 ? DataKind::SkinnedModel : DataKind::Animation);
    for (const AnimFile& f : c.extras) add(c.folder + f.name, DataKind::Animation);
  }
  for (const char* p : {"Xfile/hiyoko.X",
                        "Xfile/eye.X",
                        "Xfile/top.X",
                        "Xfile/2i.X",
                        "Xfile/3i.X",
                        "Xfile/biri.X",
                        "Xfile/sun.X",
                        "Xfile/kouka_line.x",
                        "Xfile/battleplayer2p/himawari.X",
                        "Xfile/3boss/sugger.X",
                        "Xfile/3boss/lighter.X",
                        "Xfile/stage3/hammar.x",
                        "Xfile/tama/tama.X",
                        "Xfile/tama/player1_largetama1.X",
                        "Xfile/tama/player1_largetama2.X",
                        "Xfile/tama/player2_tama.X",
                        "Xfile/tama/player2_largetama1.x",
                        "Xfile/tama/player3_tama.X",
                        "Xfile/tama/player3_largetama1.X",
                        "Xfile/tama/player3_largetama2.X",
                        "Xfile/tama/player3_largetama3.X",
                        "Xfile/tama/player4_tama.X",
                        "Xfile/tama/player4_largetama1.X",
                        "Xfile/tama/player4_largetama2.X",
                        "Xfile/tama/player4_largetama3.X",
                        "Xfile/tama/enemy_tama1.X",
                        "Xfile/tama/enemy_tama2_ring.X",
                        "Xfile/tama/large_tama1.X",
                        "Xfile/tama/large_tama2.X",
                        "Xfile/tama/3DMarker.X"})
    add(p, DataKind::StaticMesh);
  for (const char* p :
       {"Xfile/stage1/stage1.X", "Xfile/stage1/round.X", "Xfile/stage1/stage1_collision.X",
        "Xfile/stage2/stage2.X", "Xfile/stage2/stage2_round.X", "Xfile/stage2/stage2_collision.X",
        "Xfile/stage3/stage3.X", "Xfile/stage3/collision.X", "Xfile/stage3/battle_stage3.X",
        "Xfile/stage3/battle_stage3_collision.X", "Xfile/sokai_stage/sokai_stage.X",
        "Xfile/sokai_stage/sokai_round.X", "Xfile/sokai_stage/sokai_stage_collision.X"})
    add(p, DataKind::FieldMesh);
  for (const UiSheet& s : UiSheets()) add(s.path, DataKind::Texture);
  for (const char* p : {"texture/white.png",
                        "texture/cursor.png",
                        "texture/title/title.png",
                        "texture/title/title_hitoObject.png",
                        "texture/battle/charge_gazi_waku.png",
                        "texture/battle/charge_gazi_bar.tga",
                        "texture/battle/piyori_waku.png",
                        "texture/battle/poyori_gazi.png",
                        "texture/battle/enemygazi.png",
                        "texture/battle/enemybar.png",
                        "texture/battle/enemyFace/batu.png",
                        "texture/battle/enemyFace/zako1_face.png",
                        "texture/battle/enemyFace/zako2_face.png",
                        "texture/battle/enemyFace/zako3_face.png",
                        "texture/battle/enemyFace/zako4_face.png",
                        "texture/battle/enemyFace/1boss_face.png",
                        "texture/battle/enemyFace/2boss_face.png",
                        "texture/battle/enemyFace/3boss_face.png",
                        "texture/battle/player1_stand.jpg",
                        "texture/battle/player2_stand.jpg",
                        "texture/battle/player3_stand.jpg",
                        "texture/battle/player4_stand.jpg",
                        "texture/battle/chara_stand.png",
                        "texture/battle/stage1_picture.png",
                        "texture/battle/stage3_picture.png",
                        "texture/load_tex/stage1_load_tex.jpg",
                        "texture/load_tex/stage2_load_tex.jpg",
                        "texture/load_tex/stage3_load_tex.jpg",
                        "texture/load_tex/sokai_stage_load_tex.jpg",
                        "texture/player1_largetama3.png",
                        "texture/3boss_tama1.png",
                        "texture/effect/particle1.png",
                        "texture/effect/particle2.png",
                        "texture/effect/particle3.png",
                        "texture/effect/hit_explosion.png",
                        "texture/effect/charge1.png",
                        "texture/effect/star1.png",
                        "texture/effect/star2.png",
                        "texture/effect/smoke1.png",
                        "texture/effect/thunder1.png",
                        "texture/effect/shock_wave1.png",
                        "texture/effect/twist.png",
                        "texture/effect/marker.png",
                        "texture/effect/enemy_tama2_center.png",
                        "data/HERE_COME_THE_BOSS.png",
                        "data/circle_shadow.png",
                        "data/toon.bmp"})
    add(p, DataKind::Texture);
  for (const char* p : {"sound/system/sha00.wav",
                        "sound/system/puu28.wav",
                        "sound/system/kachi24.wav",
                        "sound/system/gun16.wav",
                        "sound/stage/player1/shoot12.wav",
                        "sound/stage/player1/gun06.wav",
                        "sound/stage/player1/mecha04.wav",
                        "sound/stage/beep12.wav",
                        "sound/stage/move/pi25.wav",
                        "sound/stage/move/pi14.wav",
                        "sound/stage/enemy/shoot18.wav",
                        "sound/stage/move/crash10.wav",
                        "sound/stage/move/crash02.wav",
                        "sound/stage/player3/flame.wav",
                        "sound/stage/player4/unari00.wav",
                        "sound/stage/pyoro18.wav",
                        "sound/stage/player1/power23.wav",
                        "sound/stage/enemy/power09.wav",
                        "sound/stage/enemy/gun10.wav",
                        "sound/stage/player2/shoot05.wav",
                        "sound/stage/player2/bom00.wav",
                        "sound/stage/player3/noise16.wav",
                        "sound/stage/player4/kachi03.wav",
                        "sound/stage/player4/bom24.wav",
                        "sound/stage/player4/mecha04.wav",
                        "sound/stage/voice/voice023_a.wav",
                        "sound/stage/voice/voice015.wav",
                        "sound/stage/voice/voice016_a.wav",
                        "sound/stage/bell09.wav",
                        "sound/stage/pi00.wav",
                        "sound/stage/beep01.wav",
                        "sound/stage/player1/power06.wav",
                        "sound/stage/voice/voice009.wav",
                        "sound/stage/voice/voice023_c.wav",
                        "sound/stage/voice/voice012.wav",
                        "sound/stage/voice/voice011.wav",
                        "sound/stage/voice/voice017.wav",
                        "sound/stage/voice/voice022.wav",
                        "sound/stage/voice/voice010.wav",
                        "sound/stage/voice/voice023_b.wav",
                        "sound/stage/voice/voice016_b.wav",
                        "sound/stage/voice/voice004.wav",
                        "sound/stage/voice/voice006.wav",
                        "sound/stage/bom22.wav",
                        "sound/stage/puu17.wav",
                        "sound/stage/enemy/kachi25.wav",
                        "sound/stage/enemy/push05.wav",
                        "sound/stage/enemy/close01.wav",
                        "sound/stage/eco00_e.wav",
                        "sound/stage/mecha11_b.wav"})
    add(p, DataKind::Sound);
  for (const char* p : {"sound/bgm/nyu-dou_gm.mid", "sound/bgm/nangoku_gm.mid",
                        "sound/bgm/bsyt_gm.mid", "sound/bgm/y-maf_gm.mid", "sound/bgm/bsj_gm.mid",
                        "sound/bgm/rari_gm.mid", "sound/bgm/mjdm_gm.mid", "sound/bgm/fb_gm.mid"})
    add(p, DataKind::Music);
  const int areas[3] = {2, 4, 4};
  for (int st = 1; st <= 3; ++st) {
    std::string dir = "AppearData/stage" + std::to_string(st) + "/stage" + std::to_string(st);
    add(dir + "_player.arg", DataKind::Placement);
    for (int a = 1; a <= areas[st - 1]; ++a)
      add(dir + "_erea" + std::to_string(a) + ".arg", DataKind::Placement);
    add(dir + "_boss.arg", DataKind::Placement);
    add(dir + "_introduce.arg", DataKind::Placement);
  }
  add("AppearData/battle/battle_stage1.arg", DataKind::Placement);
  add("AppearData/battle/battle_stage3.arg", DataKind::Placement);
  add("data/toonSkinEffect.fx", DataKind::Effect);
  return m;
}

// Matches text against a printf-style pattern: each conversion (%d, %s,
// %02d, ...) stands for one or more characters other than '/'.
bool MatchPattern(std::string_view pat, std::string_view text) {
  if (pat.empty()) return text.empty();
  if (pat[0] == '%' && pat.size() > 1 && pat[1] == '%')
    return !text.empty() && text[0] == '%' && MatchPattern(pat.substr(2), text.substr(1));
  if (pat[0] == '%') {
    size_t k = 1;
    while (k < pat.size() &&
           std::string_view("0123456789.-+ #lhz").find(pat[k]) != std::string_view::npos)
      ++k;
    if (k >= pat.size()) return false;
    std::string_view rest = pat.substr(k + 1);
    for (size_t n = 1; n <= text.size() && text[n - 1] != '/'; ++n)
      if (MatchPattern(rest, text.substr(n))) return true;
    return false;
  }
  return !text.empty() && pat[0] == text[0] && MatchPattern(pat.substr(1), text.substr(1));
}

}  // namespace

const std::vector<std::string>& BodyFrameNames() {
  static const std::vector<std::string> names = {"Frame4_dody_downer",
                                                 "Frame5_right_leg3",
                                                 "Frame6_right_leg2",
                                                 "Frame7_right_leg1",
                                                 "Frame8_left_leg3",
                                                 "Frame9_left_leg2",
                                                 "Frame10_left_leg1",
                                                 "Frame2_center",
                                                 "Frame3_dody_downer_operation",
                                                 "Frame11_body_upper_operation",
                                                 "Frame12_body_upper",
                                                 "Frame13_left_arm3",
                                                 "Frame14_left_arm2",
                                                 "Frame15_left_arm1",
                                                 "Frame16_right_arm3",
                                                 "Frame17_right_arm2",
                                                 "Frame18_right_arm1",
                                                 "Frame19_head"};
  return names;
}

const std::vector<CharacterFiles>& Characters() {
  static const std::vector<CharacterFiles> c = MakeCharacters();
  return c;
}

const std::vector<UiSheet>& UiSheets() {
  static const std::vector<UiSheet> s = MakeSheets();
  return s;
}

const std::vector<ManifestEntry>& Manifest() {
  static const std::vector<ManifestEntry> m = MakeManifest();
  return m;
}

bool InManifest(std::string_view path) {
  const auto& m = Manifest();
  return std::any_of(m.begin(), m.end(), [&](const ManifestEntry& e) { return e.path == path; });
}

bool ManifestCovers(std::string_view codePath) {
  const auto& m = Manifest();
  bool pattern = codePath.find('%') != std::string_view::npos;
  bool folder = !codePath.empty() && codePath.back() == '/';
  return std::any_of(m.begin(), m.end(), [&](const ManifestEntry& e) {
    std::string_view p = e.path;
    if (pattern) {
      if (folder) {
        size_t slash = p.rfind('/');
        return MatchPattern(codePath.substr(0, codePath.size() - 1), p.substr(0, slash)) ||
               MatchPattern(codePath, p.substr(0, slash + 1));
      }
      return MatchPattern(codePath, p);
    }
    if (folder) return p.substr(0, codePath.size()) == codePath;
    // A folder named without its slash ("sound/bgm").
    return p == codePath || (p.size() > codePath.size() &&
                             p.substr(0, codePath.size()) == codePath && p[codePath.size()] == '/');
  });
}

}  // namespace datagen

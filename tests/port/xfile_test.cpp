#include "port/xfile.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <bit>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "port/xfile_lexer.h"
#include "support/x_writer.h"

using port::x::Child;
using port::x::Error;
using port::x::File;
using port::x::Object;
namespace guids = port::x::guids;

namespace {

std::unique_ptr<File> Parse(const std::string& s, Error* err = nullptr) {
  Error local;
  return File::LoadMemory(s.data(), s.size(), err ? err : &local);
}

std::string WriteModel(xtest::XWriter& w) {
  w.Begin("Material", "Blue");
  w.Floats({0, 0, 1, 0.5f, 4, 1, 1, 1, 0, 0, 0});
  w.End();
  xtest::WriteGridModel(w, 2, 1);
  w.Begin("AnimationSet", "Walk");
  w.Begin("Animation", "");
  w.Ref("Root");
  w.Begin("AnimationKey");
  w.Ints({0, 2});
  w.Ints({0, 4});
  w.Floats({1, 0, 0, 0});
  w.Ints({10, 4});
  w.Floats({0.70710677f, 0, 0.70710677f, -1e-5f});
  w.End();
  w.Ref("Nowhere");
  w.End();
  w.End();
  return w.Finish();
}

void ExpectSameObject(const Object& a, const Object& b) {
  SCOPED_TRACE(a.TemplateName() + " " + a.Name());
  EXPECT_EQ(a.TemplateName(), b.TemplateName());
  EXPECT_EQ(a.TemplateGuid(), b.TemplateGuid());
  EXPECT_EQ(a.Name(), b.Name());
  ASSERT_EQ(a.Values().size(), b.Values().size());
  for (size_t i = 0; i < a.Values().size(); ++i) {
    EXPECT_EQ(a.Values()[i].type, b.Values()[i].type) << i;
    EXPECT_EQ(a.Values()[i].bits, b.Values()[i].bits) << i;
  }
  EXPECT_EQ(a.Strings(), b.Strings());
  ASSERT_EQ(a.Children().size(), b.Children().size());
  for (size_t i = 0; i < a.Children().size(); ++i) {
    const Child& x = a.Children()[i];
    const Child& y = b.Children()[i];
    ASSERT_EQ(x.kind, y.kind);
    EXPECT_EQ(x.name, y.name);
    ASSERT_EQ(x.object == nullptr, y.object == nullptr);
    if (x.kind == Child::Kind::Object) {
      ExpectSameObject(*x.object, *y.object);
    } else if (x.object) {
      EXPECT_EQ(x.object->Name(), y.object->Name());
    }
  }
}

}  // namespace

TEST(XFile, TextAndBinaryEncodingsReadTheSame) {
  xtest::TextWriter tw;
  xtest::BinaryWriter bw32(false), bw64(true);
  std::string text = WriteModel(tw), bin32 = WriteModel(bw32), bin64 = WriteModel(bw64);
  Error err;
  auto t = Parse(text, &err);
  ASSERT_TRUE(t) << err.ToString();
  auto b32 = Parse(bin32, &err);
  ASSERT_TRUE(b32) << err.ToString();
  auto b64 = Parse(bin64, &err);
  ASSERT_TRUE(b64) << err.ToString();
  EXPECT_FALSE(t->IsBinary());
  EXPECT_TRUE(b32->IsBinary());
  EXPECT_EQ(b64->FloatBits(), 64u);
  ASSERT_EQ(t->Objects().size(), 3u);
  for (const File* other : {b32.get(), b64.get()}) {
    ASSERT_EQ(other->Objects().size(), t->Objects().size());
    for (size_t i = 0; i < t->Objects().size(); ++i)
      ExpectSameObject(*t->Objects()[i], *other->Objects()[i]);
  }
}

TEST(XFile, ObjectsCarryTemplatesNamesDataAndChildrenInOrder) {
  xtest::TextWriter tw;
  auto f = Parse(WriteModel(tw));
  ASSERT_TRUE(f);
  const Object& frame = *f->Objects()[1];
  EXPECT_TRUE(frame.Is(guids::kFrame));
  EXPECT_EQ(frame.Name(), "Root");
  ASSERT_EQ(frame.Children().size(), 2u);
  EXPECT_TRUE(frame.Children()[0].object->Is(guids::kFrameTransformMatrix));
  const Object& mesh = *frame.Children()[1].object;
  EXPECT_EQ(mesh.TemplateName(), "Mesh");
  EXPECT_EQ(mesh.TemplateGuid().ToString(), "3D82AB44-62DA-11CF-AB39-0020AF71E433");

  auto r = mesh.Data();
  uint32_t nv = 0;
  ASSERT_TRUE(r.ReadDword(&nv));
  EXPECT_EQ(nv, 6u);
  float p[3];
  ASSERT_TRUE(r.ReadFloats(p, 3));
  EXPECT_EQ(p[0], 0.0f);
  ASSERT_TRUE(r.Skip(15));
  uint32_t nf = 0, n = 0;
  ASSERT_TRUE(r.ReadDword(&nf));
  EXPECT_EQ(nf, 2u);
  ASSERT_TRUE(r.ReadDword(&n));
  EXPECT_EQ(n, 4u);
  // Type mismatch: an index is not a float; the reader then stays failed.
  float bad = 42;
  EXPECT_FALSE(r.ReadFloat(&bad));
  EXPECT_EQ(bad, 42);
  uint32_t any = 0;
  EXPECT_FALSE(r.ReadDword(&any));
  EXPECT_FALSE(r.Ok());

  // Reading past the end fails.
  auto key = f->Objects()[2]->Children()[0].object->Children()[1].object;
  ASSERT_TRUE(key->Is(guids::kAnimationKey));
  auto kr = key->Data();
  ASSERT_TRUE(kr.Skip(kr.Remaining()));
  EXPECT_FALSE(kr.ReadDword(&any));

  // Strings and words.
  const Object* material = mesh.Children()[2].object->Children()[0].object;
  std::string tex;
  auto tr = material->Children()[0].object->Data();
  ASSERT_TRUE(tr.ReadString(&tex));
  EXPECT_EQ(tex, "texture\\grid.png");
}

TEST(XFile, ReferencesResolveByNameAnywhereOrStayNames) {
  xtest::TextWriter tw;
  auto f = Parse(WriteModel(tw));
  ASSERT_TRUE(f);
  const Object& anim = *f->Objects()[2]->Children()[0].object;
  ASSERT_EQ(anim.Children().size(), 3u);
  const Child& frameRef = anim.Children()[0];
  EXPECT_TRUE(frameRef.IsReference());
  ASSERT_NE(frameRef.object, nullptr);
  EXPECT_EQ(frameRef.object, f->Objects()[1]);
  const Child& missing = anim.Children()[2];
  EXPECT_TRUE(missing.IsReference());
  EXPECT_EQ(missing.object, nullptr);
  EXPECT_EQ(missing.name, "Nowhere");
  // A reference to an object defined later in the file, at depth.
  auto g = Parse(
      "xof 0303txt 0032\nMaterial A { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; { Later } }\n"
      "Frame F { Frame Later { } }\n");
  ASSERT_TRUE(g);
  ASSERT_EQ(g->Objects()[0]->Children().size(), 1u);
  EXPECT_EQ(g->Objects()[0]->Children()[0].object, g->FindObject("Later"));
  EXPECT_NE(g->FindObject("Later"), nullptr);
}

TEST(XFile, TemplatesDeclaredInTheFileAreParsedAndKept) {
  const std::string text =
      "xof 0302txt 0064\n"
      "template Matrix2 { <11111111-2222-3333-4444-555555555555> array FLOAT m[2][2]; }\n"
      "template Thing {\n <AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE>\n WORD n;\n array Matrix2 "
      "mats[n];\n"
      " STRING label;\n SDWORD delta;\n [Thing <AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE>, Other]\n}\n"
      "template Open { <00000000-0000-0000-0000-000000000001> [ ... ] }\n"
      "Thing T1 { 2; 1,2,3,4, 5,6,7,8; \"hello\"; -5; Thing T2 { 0;; \"x\"; 1; } }\n";
  Error err;
  auto f = Parse(text, &err);
  ASSERT_TRUE(f) << err.ToString();
  ASSERT_EQ(f->DeclaredTemplates().size(), 3u);
  const auto& thing = f->DeclaredTemplates()[1];
  EXPECT_EQ(thing.name, "Thing");
  ASSERT_EQ(thing.members.size(), 4u);
  EXPECT_EQ(thing.members[1].typeName, "Matrix2");
  ASSERT_EQ(thing.members[1].dims.size(), 1u);
  EXPECT_EQ(thing.members[1].dims[0].member, "n");
  EXPECT_EQ(thing.restriction, port::x::Template::Restriction::Restricted);
  EXPECT_EQ(thing.allowedChildren, (std::vector<std::string>{"Thing", "Other"}));
  EXPECT_EQ(f->DeclaredTemplates()[2].restriction, port::x::Template::Restriction::Open);
  EXPECT_EQ(f->FindTemplate("Mesh")->guid, guids::kMesh);  // standard ones stay known

  const Object& t1 = *f->Objects()[0];
  EXPECT_EQ(t1.TemplateGuid().ToString(), "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE");
  auto r = t1.Data();
  uint16_t n = 0;
  ASSERT_TRUE(r.ReadWord(&n));
  EXPECT_EQ(n, 2);
  float m[8];
  ASSERT_TRUE(r.ReadFloats(m, 8));
  EXPECT_EQ(m[7], 8.0f);
  std::string label;
  ASSERT_TRUE(r.ReadString(&label));
  EXPECT_EQ(label, "hello");
  uint32_t delta = 0;
  ASSERT_TRUE(r.ReadDword(&delta));
  EXPECT_EQ(static_cast<int32_t>(delta), -5);
  EXPECT_EQ(r.Remaining(), 0u);
  ASSERT_EQ(t1.Children().size(), 1u);
  EXPECT_EQ(t1.Children()[0].object->Name(), "T2");
}

TEST(XFile, BinaryTemplateDeclarations) {
  xtest::BinaryWriter w;
  w.Token(31);  // template
  w.Name("Pair");
  w.Token(10);
  w.Token(5);
  port::x::Guid g;
  ASSERT_TRUE(port::x::Guid::Parse("01234567-89AB-CDEF-0123-456789ABCDEF", &g));
  w.U32(g.data1);
  w.Bytes(&g.data2, 2);
  w.Bytes(&g.data3, 2);
  w.Bytes(g.data4, 8);
  w.Token(41);  // DWORD count;
  w.Name("count");
  w.Token(20);
  w.Token(52);  // array FLOAT v[count];
  w.Token(42);
  w.Name("v");
  w.Token(14);
  w.Name("count");
  for (uint16_t t : {15, 20, 14, 18, 18, 18, 15, 11}) w.Token(t);  // ]; [...] }
  w.Begin("Pair", "P");
  w.Ints({2});
  w.Floats({1.5f, -2.5f});
  w.End();
  Error err;
  auto f = Parse(w.Finish(), &err);
  ASSERT_TRUE(f) << err.ToString();
  ASSERT_EQ(f->DeclaredTemplates().size(), 1u);
  EXPECT_EQ(f->DeclaredTemplates()[0].guid, g);
  const Object& p = *f->Objects()[0];
  EXPECT_EQ(p.TemplateGuid(), g);
  auto r = p.Data();
  uint32_t c;
  float v[2];
  ASSERT_TRUE(r.ReadDword(&c));
  ASSERT_TRUE(r.ReadFloats(v, 2));
  EXPECT_EQ(v[1], -2.5f);
}

TEST(XFile, TextSyntaxLeniencies) {
  const std::string text =
      "xof 0303txt 0032\n"
      "# a comment\n"
      "// another\n"
      "Header { 1; 0; 1; }\n"
      "Unknown Skipped { 1; \"}\"; Nested { 2; { Ref } } }\n"
      "Frame \x83\x74\x83\x8C\x81\x5B\x83\x80_1 {\n"
      "  FrameTransformMatrix { 1.000000,0,0,0,0,1,0,0,0,0,1,0,-1e-005,+2.5,3e+002,1;;, }\n"
      "}\n";
  Error err;
  auto f = Parse(text, &err);
  ASSERT_TRUE(f) << err.ToString();
  ASSERT_EQ(f->Objects().size(), 2u);  // the unknown object is skipped
  EXPECT_TRUE(f->Objects()[0]->Is(guids::kHeader));
  const Object& frame = *f->Objects()[1];
  EXPECT_EQ(frame.Name(), "\x83\x74\x83\x8C\x81\x5B\x83\x80_1");
  port::Matrix m;
  ASSERT_TRUE(frame.Children()[0].object->Data().ReadMatrix(&m));
  EXPECT_FLOAT_EQ(m.m[3][0], -1e-5f);
  EXPECT_FLOAT_EQ(m.m[3][1], 2.5f);
  EXPECT_FLOAT_EQ(m.m[3][2], 300.0f);
}

TEST(XFile, MalformedTextIsRefusedWithAPosition) {
  const char* bad[] = {
      "",
      "xof 0303txt",
      "xyz 0303txt 0032\n",
      "xof 0303abc 0032\n",
      "xof 0303txt 0016\n",
      "xof 0303txt 0032\nTextureFilename { \"unterminated; }\n",
      "xof 0303txt 0032\nTextureFilename { 12; }\n",
      "xof 0303txt 0032\nMaterial { 1;1;1;1;; \"p\"; 0;0;0;; 0;0;0;; }\n",
      "xof 0303txt 0032\nFrame A { Frame B { }\n",
      "xof 0303txt 0032\nFrame A { }\n}\n",
      "xof 0303txt 0032\nFrame A { <1234> }\n",
      "xof 0303txt 0032\nFrame A { @ }\n",
      "xof 0303txt 0032\nMesh M { 1000000; 1;2;3;; 0;; }\n",
      "xof 0303txt 0032\nMesh M { 4294967295; }\n",
      "xof 0303txt 0032\nMesh M { 1; 0;0;0;; 1; 3000000000; 0,0,0;; }\n",
      "xof 0303txt 0032\nHeader { 70000; 0; 0; }\n",
      "xof 0303txt 0032\nHeader { 1; 0; 99999999999999999999; }\n",
      "xof 0303txt 0032\nVector { 1; 2; 3; 4; }\n",
      "xof 0303txt 0032\nFrameTransformMatrix { 1e999,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0;; }\n",
      "xof 0303txt 0032\ntemplate T { <00000000-0000-0000-0000-000000000002> array DWORD v[n]; }\n",
      "xof 0303txt 0032\ntemplate T { <00000000-0000-0000-0000-000000000002> T inner; }\nT { }\n",
      "xof 0303txt 0032\ntemplate T { <00000000-0000-0000-0000-000000000002> Missing m; }\nT { 1; "
      "}\n",
      "xof 0303txt 0032\ntemplate T { DWORD x; }\n",
      "xof 0303txt 0032\nFrame A { { } }\n",
      "xof 0303txt 0032\n; 5;\n",
      "xof 0303txt 0032\nUnknown { { }\n",
  };
  for (const char* text : bad) {
    Error err;
    EXPECT_FALSE(Parse(text, &err)) << text;
    EXPECT_FALSE(err.message.empty()) << text;
  }
  Error err;
  EXPECT_FALSE(Parse("xof 0303txt 0032\n\n\nFrame A {\n  \"oops\"\n}\n", &err));
  EXPECT_EQ(err.line, 5u) << err.ToString();
}

TEST(XFile, DeepNestingIsRefused) {
  std::string text = "xof 0303txt 0032\n";
  for (int i = 0; i < 200; ++i) text += "Frame {\n";
  for (int i = 0; i < 200; ++i) text += "}\n";
  Error err;
  EXPECT_FALSE(Parse(text, &err));
  std::string unknown = "xof 0303txt 0032\n";
  for (int i = 0; i < 100000; ++i) unknown += "U {";
  EXPECT_FALSE(Parse(unknown, &err));
}

TEST(XFile, EveryTruncationIsRefusedOrShorter) {
  xtest::TextWriter tw;
  xtest::BinaryWriter bw;
  for (const std::string& full : {WriteModel(tw), WriteModel(bw)}) {
    auto whole = Parse(full);
    ASSERT_TRUE(whole);
    for (size_t n = 0; n < full.size(); ++n) {
      std::vector<char> copy(full.begin(), full.begin() + n);  // exact size for ASan
      Error err;
      auto f = File::LoadMemory(copy.data(), copy.size(), &err);
      if (f && f->Objects().size() == whole->Objects().size()) {
        EXPECT_EQ(full.find_first_not_of(" \r\n", n), std::string::npos) << n;
      } else if (f) {
        EXPECT_LT(f->Objects().size(), whole->Objects().size()) << n;
      } else {
        EXPECT_LE(err.offset, n) << n;
      }
    }
  }
}

TEST(XFile, MalformedBinaryTokensAreRefused) {
  auto refused = [](const std::function<void(xtest::BinaryWriter&)>& body) {
    xtest::BinaryWriter w;
    body(w);
    std::string s = w.Finish();
    std::vector<char> exact(s.begin(), s.end());
    Error err;
    return !File::LoadMemory(exact.data(), exact.size(), &err) && !err.message.empty();
  };
  EXPECT_TRUE(refused([](auto& w) {
    w.Token(1);
    w.U32(100);
    w.Bytes("Frame", 5);
  }));  // name past end
  EXPECT_TRUE(refused([](auto& w) {
    w.Token(1);
    w.Bytes("\x05\x00", 2);
  }));                               // short length
  EXPECT_TRUE(refused([](auto& w) {  // string past end
    w.Begin("TextureFilename", "");
    w.Token(2);
    w.U32(0xFFFFFFF0u);
  }));
  EXPECT_TRUE(refused([](auto& w) {
    w.Begin("Header", "");
    w.Token(3);
    w.Bytes("\x01", 1);
  }));  // integer
  EXPECT_TRUE(refused([](auto& w) {
    w.Begin("Frame", "");
    w.Token(5);
    w.U32(1);
  }));  // GUID
  EXPECT_TRUE(refused([](auto& w) {
    w.Begin("Mesh", "");
    w.Token(6);
    w.U32(0x40000000u);
  }));  // huge list
  EXPECT_TRUE(refused([](auto& w) {
    w.Begin("Mesh", "");
    w.Token(7);
    w.U32(3);
    w.U32(0);
  }));  // short list
  EXPECT_TRUE(refused([](auto& w) {
    w.Begin("Mesh", "");
    w.Ints({0xFFFFFFFFu});
    w.End();
  }));  // huge count
  EXPECT_TRUE(refused([](auto& w) {
    w.Begin("Frame", "");
    w.Token(99);
    w.End();
  }));  // unknown token
  EXPECT_TRUE(refused([](auto& w) {
    w.Begin("Frame", "");
    w.Bytes("\x0b", 1);
  }));  // odd byte
  EXPECT_TRUE(refused([](auto& w) {
    w.Begin("Frame", "");
    w.Begin("Frame", "");
    w.End();
  }));  // unbalanced
  EXPECT_TRUE(refused([](auto& w) {
    w.Begin("Vector", "");
    w.Floats({1, 2});
    w.End();
  }));  // too few values
  EXPECT_TRUE(refused([](auto& w) {
    w.Begin("Vector", "");
    w.Floats({1, 2, 3, 4});
    w.End();
  }));  // extra values
  EXPECT_TRUE(refused([](auto& w) {
    w.Begin("Header", "");
    w.Floats({1, 2, 3});
    w.End();
  }));                                             // float for WORD
  EXPECT_TRUE(refused([](auto& w) { w.End(); }));  // stray brace
}

namespace {

// Packs a file the way compressed .X files are: header with "tzip"/"bzip", the
// total size, then deflate blocks each primed with the output before it.
std::string Compress(const std::string& plain, size_t blockSize) {
  std::string out = plain.substr(0, 16);
  out.replace(8, 4, plain.substr(8, 3) == "txt" ? "tzip" : "bzip");
  uint32_t total = static_cast<uint32_t>(plain.size());
  out.append(reinterpret_cast<const char*>(&total), 4);
  for (size_t pos = 16; pos < plain.size(); pos += blockSize) {
    size_t n = std::min(blockSize, plain.size() - pos);
    z_stream zs{};
    deflateInit2(&zs, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    size_t dict = std::min<size_t>(pos - 16, 32768);
    if (dict)
      deflateSetDictionary(&zs, reinterpret_cast<const Bytef*>(plain.data() + pos - dict), dict);
    std::vector<unsigned char> buf(deflateBound(&zs, n) + 16);
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(plain.data() + pos));
    zs.avail_in = n;
    zs.next_out = buf.data();
    zs.avail_out = buf.size();
    deflate(&zs, Z_FINISH);
    size_t packed = buf.size() - zs.avail_out;
    deflateEnd(&zs);
    uint16_t raw16 = static_cast<uint16_t>(n), packed16 = static_cast<uint16_t>(packed + 2);
    out.append(reinterpret_cast<const char*>(&raw16), 2);
    out.append(reinterpret_cast<const char*>(&packed16), 2);
    out += "CK";
    out.append(reinterpret_cast<const char*>(buf.data()), packed);
  }
  return out;
}

}  // namespace

TEST(XFile, CompressedFilesReadLikePlainOnes) {
  xtest::TextWriter tw;
  xtest::BinaryWriter bw;
  for (const std::string& plain : {WriteModel(tw), WriteModel(bw)}) {
    std::string packed = Compress(plain, 300);
    Error err;
    auto p = Parse(plain), c = Parse(packed, &err);
    ASSERT_TRUE(c) << err.ToString();
    EXPECT_TRUE(c->IsCompressed());
    ASSERT_EQ(c->Objects().size(), p->Objects().size());
    for (size_t i = 0; i < p->Objects().size(); ++i)
      ExpectSameObject(*p->Objects()[i], *c->Objects()[i]);
    std::string corrupt = packed;
    corrupt[30] = static_cast<char>(corrupt[30] ^ 0x5A);
    corrupt[31] = static_cast<char>(corrupt[31] ^ 0x33);
    EXPECT_FALSE(Parse(corrupt));
    EXPECT_FALSE(Parse(packed.substr(0, packed.size() - 3)));
  }
}

TEST(XFile, LoadFromMissingFileFails) {
  Error err;
  EXPECT_FALSE(File::Load("no/such/file.x", &err));
  EXPECT_FALSE(err.message.empty());
}

TEST(XFile, GuidTextRoundTrip) {
  port::x::Guid g;
  EXPECT_TRUE(port::x::Guid::Parse("<3d82ab46-62da-11cf-ab39-0020af71e433>", &g));
  EXPECT_EQ(g, guids::kFrame);
  EXPECT_EQ(g.ToString(), "3D82AB46-62DA-11CF-AB39-0020AF71E433");
  EXPECT_FALSE(port::x::Guid::Parse("3D82AB46-62DA-11CF-AB39-0020AF71E43", &g));
  EXPECT_FALSE(port::x::Guid::Parse("3D82AB46+62DA-11CF-AB39-0020AF71E433", &g));
  EXPECT_FALSE(port::x::Guid::Parse("3D82AB46-62DA-11CF-AB39-0020AF71E43G", &g));
}

namespace {

// The values of a small Mesh: 3 vertices, a triangle and a quad.
const std::vector<float> kPos = {0, 0, 0, 1.5f, 0, 0, 0, -2.25f, 1e-5f};
const std::vector<uint32_t> kFaces = {3, 0, 1, 2, 4, 2, 1, 0, 1};

std::vector<port::x::Value> MeshValues() {
  using port::x::ValueType;
  std::vector<port::x::Value> v = {{ValueType::Dword, 3}};
  for (float p : kPos) v.push_back({ValueType::Float, std::bit_cast<uint32_t>(p)});
  v.push_back({ValueType::Dword, 2});
  for (uint32_t i : kFaces) v.push_back({ValueType::Dword, i});
  return v;
}

void ExpectValues(const std::string& file, const std::vector<port::x::Value>& want,
                  const std::string& what) {
  SCOPED_TRACE(what);
  Error err;
  auto f = Parse(file, &err);
  ASSERT_TRUE(f) << err.ToString();
  ASSERT_EQ(f->Objects().size(), 1u);
  const auto got = f->Objects()[0]->Values();
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].type, want[i].type) << i;
    EXPECT_EQ(got[i].bits, want[i].bits) << i;
  }
}

}  // namespace

// Number lists are read in bulk; however the numbers are cut into tokens, the
// values are the same.
TEST(XFile, EveryLayoutOfTheSameNumbersReadsTheSame) {
  const auto want = MeshValues();
  auto binary = [](bool doubles, const std::function<void(xtest::BinaryWriter&)>& body) {
    xtest::BinaryWriter w(doubles);
    w.Begin("Mesh", "M");
    body(w);
    w.End();
    return w.Finish();
  };
  ExpectValues(binary(false,
                      [](auto& w) {
                        w.Int(3);
                        w.Floats(kPos);
                        w.Int(2);
                        w.Ints(kFaces);
                      }),
               want, "one list each");
  ExpectValues(binary(true,
                      [](auto& w) {
                        w.Int(3);
                        w.Floats(kPos);
                        w.Ints({2, 3, 0, 1, 2});
                        w.Ints({4, 2, 1, 0, 1});
                      }),
               want, "64-bit floats, the count in the faces' list");
  ExpectValues(binary(false,
                      [](auto& w) {
                        w.Ints({3});
                        w.Floats({0, 0});
                        w.Floats({});
                        w.Floats({0, 1.5f, 0, 0, 0, -2.25f, 1e-5f});
                        w.Token(3);  // a lone integer
                        w.U32(2);
                        w.Ints({3, 0});
                        w.Ints({1, 2, 4, 2, 1});
                        w.Token(3);
                        w.U32(0);
                        w.Ints({1});
                      }),
               want, "lists cut inside vertices and faces, lone integers, an empty list");
  ExpectValues(binary(false,
                      [&](auto& w) {
                        for (uint32_t i : {3u}) w.Ints({i});
                        for (float p : kPos) w.Floats({p});
                        for (uint32_t i : std::vector<uint32_t>{2, 3, 0, 1, 2, 4, 2, 1, 0, 1})
                          w.Ints({i});
                      }),
               want, "a list for every number");
  ExpectValues(
      "xof 0303txt 0032\nMesh M {\n 3; 0;0;0;, +1.5;0 ;0;,\n"
      "# a comment\n 0;-2.25;1e-005;;\n 2; 3;0,1,2;, 4;2,1, // another\n 0,+1;;\n}\n",
      want, "text with comments, signs and spacing");
  // Integers stand for floats where floats are due; floats never for integers.
  using port::x::ValueType;
  ExpectValues(
      binary(false,
             [](auto& w) {
               w.Int(3);
               w.Ints({0, 0, 0, 1, 0, 0, 0, 7, 1});
               w.Int(0);
             }),
      [] {
        std::vector<port::x::Value> v = {{ValueType::Dword, 3}};
        for (float p : {0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 7.f, 1.f})
          v.push_back({ValueType::Float, std::bit_cast<uint32_t>(p)});
        v.push_back({ValueType::Dword, 0});
        return v;
      }(),
      "integers as coordinates");
  std::vector<std::string> refused = {
      binary(false,
             [](auto& w) {
               w.Int(1);
               w.Floats({0, 0, 0});
               w.Floats({1});  // a float as the face count
               w.Ints({3, 0, 0, 0});
             }),
      binary(false,
             [](auto& w) {
               w.Int(1);
               w.Floats({0, 0, 0});
               w.Ints({1, 200, 0, 0, 0});  // a face of 200 corners, 3 given
             }),
      binary(false,
             [](auto& w) {
               w.Int(1);
               w.Floats({0, 0, 0});
               w.Ints({1, 3, 0, 0});  // a face cut short, then a float
               w.Floats({0});
             }),
      "xof 0303txt 0032\nMesh M { 1; 0;0;0;; 1; 3;0,0,1.5;; }\n",
      "xof 0303txt 0032\nMesh M { 1; 0;0;0;; 1; 3;0,0,-2147483649;; }\n",
      "xof 0303txt 0032\nMesh M { 1; 0;0;1stPoint;; 1; 3;0,0,0;; }\n",
      "xof 0303txt 0032\nMesh M { 1; 0;0;0;; 1; 3;0,0",
  };
  for (const std::string& bad : refused) {
    Error err;
    EXPECT_FALSE(Parse(bad, &err)) << bad;
    EXPECT_FALSE(err.message.empty());
  }
}

TEST(XFile, TypedReadsFollowTheValuesTypes) {
  xtest::BinaryWriter w;
  w.Begin("Mesh", "M");
  w.Int(3);
  w.Floats(kPos);
  w.Int(2);
  w.Ints(kFaces);
  w.End();
  auto f = Parse(w.Finish());
  ASSERT_TRUE(f);
  const Object& mesh = *f->Objects()[0];
  EXPECT_EQ(mesh.ValueCount(), 1 + kPos.size() + 1 + kFaces.size());
  auto r = mesh.Data();
  size_t ints = 0;
  EXPECT_NE(r.PeekDwords(&ints), nullptr);
  EXPECT_EQ(ints, 1u);  // up to the first float
  uint32_t nv = 0;
  ASSERT_TRUE(r.ReadDword(&nv));
  EXPECT_NE(r.PeekDwords(&ints), nullptr);
  EXPECT_EQ(ints, 0u);
  float pos[9] = {};
  ASSERT_TRUE(r.ReadFloats(pos, 9));
  EXPECT_EQ(pos[8], 1e-5f);
  EXPECT_EQ(r.PeekDwords(&ints)[2], 0u);  // the count, then the first face
  EXPECT_EQ(ints, 1 + kFaces.size());
  uint32_t faces[10] = {};
  ASSERT_TRUE(r.ReadDwords(faces, 10));
  EXPECT_EQ(faces[9], 1u);
  EXPECT_EQ(r.Remaining(), 0u);
  // A bulk read across a change of type fails whole and leaves the output alone.
  auto r2 = mesh.Data();
  uint32_t out[3] = {7, 7, 7};
  EXPECT_FALSE(r2.ReadDwords(out, 3));
  EXPECT_EQ(out[0], 7u);
  EXPECT_FALSE(r2.Ok());
  EXPECT_FALSE(r2.ReadDword(out));
  auto r3 = mesh.Data();
  ASSERT_TRUE(r3.Skip(1));
  float f10[10];
  EXPECT_FALSE(r3.ReadFloats(f10, 10));  // nine floats, then a count
  auto r4 = mesh.Data();
  EXPECT_FALSE(r4.ReadDwords(out, mesh.ValueCount() + 1));
}

// The bulk path for counted records (a face: its corner count, then that many
// corners) takes a record only where its integer list holds it whole; the
// rest stays where it stands for the token path.
TEST(XFile, CountedRecordsAreTakenInBulkOnlyWhole) {
  struct Case {
    std::vector<uint32_t> list;
    uint64_t records;  // asked for
    uint64_t taken;
    size_t items;  // of the list taken
    const char* what;
  };
  const Case cases[] = {
      {{2, 7, 8}, 5, 1, 3, "a count equal to the items left after it"},
      {{3, 7, 8}, 1, 0, 0, "a count one more than the items left"},
      {{1, 5, 3, 6, 7}, 2, 1, 2, "one whole, then one cut by one item"},
      {{1, 5, 2, 6, 7, 4, 1}, 5, 2, 5, "two whole, then one cut short"},
      {{0, 1, 9, 2}, 1, 1, 1, "no more records than asked"},
      {{0}, 3, 1, 1, "a record of no items"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // The integer list, then another list the records must not reach into.
    std::string bytes;
    auto put = [&](const void* p, size_t n) { bytes.append(static_cast<const char*>(p), n); };
    for (const std::vector<uint32_t>& list : {c.list, std::vector<uint32_t>{99}}) {
      const uint16_t token = 6;
      const uint32_t count = static_cast<uint32_t>(list.size());
      put(&token, 2);
      put(&count, 4);
      put(list.data(), list.size() * 4);
    }
    port::x::detail::Lexer lexer(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), 0,
                                 true, 32);
    std::vector<uint32_t> out = {42};
    EXPECT_EQ(lexer.TakeCountedRecords(c.records, &out), c.taken);
    std::vector<uint32_t> want = {42};
    want.insert(want.end(), c.list.begin(), c.list.begin() + static_cast<ptrdiff_t>(c.items));
    EXPECT_EQ(out, want);
    EXPECT_EQ(lexer.ListLeft(), c.list.size() - c.items);
  }
  // Read whole: a face whose corners run into the next list, and one whose
  // list ends with its last corner.
  for (const std::vector<uint32_t>& first :
       {std::vector<uint32_t>{3, 0, 1}, std::vector<uint32_t>{3, 0, 1, 2}}) {
    xtest::BinaryWriter w;
    w.Begin("Mesh", "M");
    w.Int(3);
    w.Floats(kPos);
    w.Int(2);
    w.Ints(first);
    w.Ints(
        std::vector<uint32_t>(kFaces.begin() + static_cast<ptrdiff_t>(first.size()), kFaces.end()));
    w.End();
    ExpectValues(w.Finish(), MeshValues(),
                 std::to_string(first.size()) + " items in the first list");
  }
}

#pragma once
// Writes .X data in the text or the binary encoding from the same calls, so
// tests and benchmarks can build one model both ways.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace xtest {

class XWriter {
 public:
  virtual ~XWriter() = default;
  virtual void Begin(const std::string& templ, const std::string& name = "") = 0;
  // A list of numbers. fields 0: one array member, "1, 2, 3;". fields n: an
  // array of records of n number members each, "1;2;, 3;4;;" (one record is a
  // record member). The binary encoding writes the same list either way.
  virtual void Ints(const std::vector<uint32_t>& v, size_t fields = 0) = 0;
  virtual void Floats(const std::vector<float>& v, size_t fields = 0) = 0;
  // An array of MeshFace records, given flat: each face's count, then its indices.
  virtual void Faces(const std::vector<uint32_t>& v) = 0;
  // A Matrix4x4 member: its array of 16, then the record's end.
  virtual void Matrix(const std::vector<float>& m) = 0;
  virtual void String(const std::string& s) = 0;
  virtual void Ref(const std::string& name) = 0;
  virtual void End() = 0;
  virtual std::string Finish() = 0;
  void Int(uint32_t v) { Ints({v}); }
};

class TextWriter : public XWriter {
 public:
  TextWriter() { out_ = "xof 0303txt 0032\n"; }
  void Begin(const std::string& templ, const std::string& name) override {
    out_ += templ + (name.empty() ? "" : " " + name) + " {\n";
  }
  void Ints(const std::vector<uint32_t>& v, size_t fields = 0) override {
    List(v.size(), fields, ",", [&](size_t i) { out_ += std::to_string(v[i]); });
  }
  void Floats(const std::vector<float>& v, size_t fields = 0) override {
    // ", " keeps a comma from reading as a decimal comma in lenient readers.
    List(v.size(), fields, ", ", [&](size_t i) {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.9g", v[i]);
      out_ += buf;
    });
  }
  void Faces(const std::vector<uint32_t>& v) override {
    for (size_t i = 0; i < v.size();) {
      const size_t n = v[i];
      out_ += std::to_string(n) + ";";
      for (size_t k = 1; k <= n && i + k < v.size(); ++k)
        out_ += std::to_string(v[i + k]) + (k < n ? "," : ";");
      i += n + 1;
      out_ += i < v.size() ? ",\n" : ";\n";
    }
  }
  void Matrix(const std::vector<float>& m) override {
    Floats(m);
    out_.insert(out_.size() - 1, ";");
  }
  void String(const std::string& s) override { out_ += "\"" + s + "\";\n"; }
  void Ref(const std::string& name) override { out_ += "{ " + name + " }\n"; }
  void End() override { out_ += "}\n"; }
  std::string Finish() override { return out_; }
  void Raw(const std::string& s) { out_ += s; }

 private:
  template <typename Put>
  void List(size_t count, size_t fields, const char* comma, Put put) {
    for (size_t i = 0; i < count; ++i) {
      put(i);
      if (fields == 0) {
        out_ += i + 1 < count ? comma : ";";
      } else {
        out_ += ";";
        if ((i + 1) % fields == 0) out_ += i + 1 < count ? comma : ";";
      }
    }
    out_ += "\n";
  }
  std::string out_;
};

class BinaryWriter : public XWriter {
 public:
  explicit BinaryWriter(bool doubles = false) : doubles_(doubles) {
    out_ = doubles ? "xof 0303bin 0064" : "xof 0303bin 0032";
  }
  void Token(uint16_t t) { Bytes(&t, 2); }
  void U32(uint32_t v) { Bytes(&v, 4); }
  void Bytes(const void* p, size_t n) { out_.append(static_cast<const char*>(p), n); }
  void Name(const std::string& s) {
    Token(1);
    U32(static_cast<uint32_t>(s.size()));
    Bytes(s.data(), s.size());
  }
  void Begin(const std::string& templ, const std::string& name) override {
    Name(templ);
    if (!name.empty()) Name(name);
    Token(10);
  }
  void Ints(const std::vector<uint32_t>& v, size_t fields = 0) override {
    Token(6);
    U32(static_cast<uint32_t>(v.size()));
    for (uint32_t x : v) U32(x);
  }
  void Floats(const std::vector<float>& v, size_t fields = 0) override {
    Token(7);
    U32(static_cast<uint32_t>(v.size()));
    for (float f : v) {
      if (doubles_) {
        double d = f;
        Bytes(&d, 8);
      } else {
        Bytes(&f, 4);
      }
    }
  }
  void Faces(const std::vector<uint32_t>& v) override { Ints(v); }
  void Matrix(const std::vector<float>& m) override { Floats(m); }
  void String(const std::string& s) override {
    Token(2);
    U32(static_cast<uint32_t>(s.size()));
    Bytes(s.data(), s.size());
    Token(20);
  }
  void Ref(const std::string& name) override {
    Token(10);
    Name(name);
    Token(11);
  }
  void End() override { Token(11); }
  std::string Finish() override { return out_; }

 private:
  bool doubles_;
  std::string out_;
};

// A Material's data: face colour, power, specular colour, no emissive.
inline void WriteMaterial(XWriter& w, const std::vector<float>& rgba, float power,
                          const std::vector<float>& specular) {
  w.Floats(rgba, 4);
  w.Floats({power});
  w.Floats(specular, 3);
  w.Floats({0, 0, 0}, 3);
}

// A mesh of a w by h grid of quads in the x-y plane, with normals, texture
// coordinates and two materials, inside a frame.
inline void WriteGridModel(XWriter& w, uint32_t gw, uint32_t gh) {
  uint32_t nv = (gw + 1) * (gh + 1);
  w.Begin("Frame", "Root");
  w.Begin("FrameTransformMatrix");
  w.Matrix({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
  w.End();
  w.Begin("Mesh", "Grid");
  w.Int(nv);
  std::vector<float> pos;
  pos.reserve(nv * 3);
  for (uint32_t y = 0; y <= gh; ++y) {
    for (uint32_t x = 0; x <= gw; ++x) {
      pos.insert(pos.end(), {static_cast<float>(x), static_cast<float>(y), 0.0f});
    }
  }
  w.Floats(pos, 3);
  w.Int(gw * gh);
  std::vector<uint32_t> faces;
  faces.reserve(gw * gh * 5);
  for (uint32_t y = 0; y < gh; ++y) {
    for (uint32_t x = 0; x < gw; ++x) {
      uint32_t i = y * (gw + 1) + x;
      faces.insert(faces.end(), {4, i, i + gw + 1, i + gw + 2, i + 1});
    }
  }
  w.Faces(faces);
  w.Begin("MeshNormals");
  w.Int(1);
  w.Floats({0, 0, -1}, 3);
  w.Int(gw * gh);
  std::vector<uint32_t> nf;
  for (uint32_t f = 0; f < gw * gh; ++f) nf.insert(nf.end(), {4, 0, 0, 0, 0});
  w.Faces(nf);
  w.End();
  w.Begin("MeshTextureCoords");
  w.Int(nv);
  std::vector<float> uv;
  for (uint32_t y = 0; y <= gh; ++y) {
    for (uint32_t x = 0; x <= gw; ++x)
      uv.insert(uv.end(), {static_cast<float>(x) / gw, static_cast<float>(y) / gh});
  }
  w.Floats(uv, 2);
  w.End();
  w.Begin("MeshMaterialList");
  w.Int(2);
  w.Int(gw * gh);
  std::vector<uint32_t> mi;
  for (uint32_t f = 0; f < gw * gh; ++f) mi.push_back(f % 2);
  w.Ints(mi);
  w.Begin("Material", "Red");
  WriteMaterial(w, {1, 0, 0, 1}, 8, {0.5f, 0.5f, 0.5f});
  w.Begin("TextureFilename");
  w.String("texture\\grid.png");
  w.End();
  w.End();
  w.Ref("Blue");
  w.End();
  w.End();
  w.End();
}

// A whole file: a top-level material the grid refers to, then the grid.
inline std::string GridFile(XWriter& w, uint32_t gw, uint32_t gh) {
  w.Begin("Material", "Blue");
  WriteMaterial(w, {0, 0, 1, 0.5f}, 4, {1, 1, 1});
  w.End();
  WriteGridModel(w, gw, gh);
  return w.Finish();
}

}  // namespace xtest

#pragma once
// The parts of the data set; each writes its files through the output.
#include <string>
#include <vector>

#include "datagen/output.h"
#include "datagen/xwriter.h"

namespace datagen {

void GenerateCharacters(Output& out);
void GenerateProps(Output& out);
void GenerateFields(Output& out);
void GeneratePlacements(Output& out);
void GenerateTextures(Output& out, const std::string& fontPath);
class TextRenderer;
void GenerateTitle(Output& out, const TextRenderer& text);
void GenerateSounds(Output& out);
void GenerateMusic(Output& out);

// Writes an .X file in the text or the binary encoding.
void WriteX(Output& out, const std::string& path, const std::vector<XNode>& top, bool binary);

}  // namespace datagen

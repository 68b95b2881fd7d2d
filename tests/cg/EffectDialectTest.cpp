// Every effect the project ships, and every shape of effect the importer writes, translated for
// both dialects and put through glslangValidator, the reference GLSL compiler: no program may
// be refused on the desktop or on ES. A failure names the effect, the program and the
// compiler's messages on the effect's lines.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "cg/CgObjects.h"
#include "import/GltfMaterialEffect.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using cg::GlslDialect;

namespace {

struct Effect {
  std::string name;
  std::string text;
};

std::vector<Effect> shippedEffects() {
  const fs::path root = fs::path(PYLON_TEST_DATA) / ".." / "..";
  std::vector<Effect> effects;
  for (const char* folder : {"Content", "productions", "examples"})
    for (const auto& entry : fs::recursive_directory_iterator(root / folder))
      if (entry.path().extension() == ".cgfx")
        effects.push_back(
            {fs::relative(entry.path(), root).string(), testing_support::readFile(entry.path().string())});
  // The format's documented example, with its GLSL 1.30 program.
  const std::string doc = testing_support::readFile((root / "docs" / "effect-format.md").string());
  const size_t start = doc.find("```\n"), end = doc.find("```\n", start + 4);
  if (start != std::string::npos && end != std::string::npos)
    effects.push_back({"docs/effect-format.md", doc.substr(start + 4, end - start - 4)});
  return effects;
}

// Each shape the importer can write: unlit or lit, every alpha mode, one- or double-sided, with
// no texture, each texture alone or all of them; the untextured and fully textured ones under
// 0 to kMaxLights lights, the others under one.
std::vector<Effect> importerEffects() {
  std::vector<Effect> effects;
  for (bool unlit : {false, true})
    for (int alpha = 0; alpha < 3; ++alpha)
      for (bool doubleSided : {false, true})
        for (int maps : {0, 1, 2, 4, 8, 16, 31})
          for (int lights = 0; lights <= (unlit ? 0 : maps % 31 ? 1 : gltf_import::kMaxLights); ++lights) {
            gltf_import::MaterialShape s;
            s.unlit = unlit;
            s.alpha = gltf_import::AlphaMode(alpha);
            s.doubleSided = doubleSided;
            s.baseColour = maps & 1, s.metallicRoughness = maps & 2, s.normal = maps & 4, s.occlusion = maps & 8,
            s.emissive = maps & 16;
            s.lights = lights;
            effects.push_back({"imported effect (unlit " + std::to_string(unlit) + ", alpha mode " +
                                   std::to_string(alpha) + ", double-sided " + std::to_string(doubleSided) + ", maps " +
                                   std::to_string(maps) + ", " + std::to_string(lights) + " lights)",
                               gltf_import::materialEffect(s)});
          }
  return effects;
}

// One translated program, written to the file the validator reads.
struct Check {
  std::string where;  // effect, program, profile and dialect
  std::string file;
  cg::ProgramText text;
  int blockLine = 0;
};

std::string numbered(const std::string& text) {
  std::string out;
  int n = 1;
  size_t from = 0;
  while (from < text.size()) {
    const size_t end = std::min(text.find('\n', from), text.size());
    out += std::to_string(n++) + ": " + text.substr(from, end - from) + "\n";
    from = end + 1;
  }
  return out;
}

}  // namespace

TEST(EffectDialect, EveryEffectCompilesOnTheDesktopAndOnEs) {
  ASSERT_EQ(std::system("glslangValidator --version > /dev/null 2>&1"), 0)
      << "glslangValidator is not installed (scripts/setup.sh installs glslang-tools)";
  char folderName[] = "/tmp/pylon-glsl-XXXXXX";
  ASSERT_NE(mkdtemp(folderName), nullptr);
  const fs::path folder = folderName;

  std::vector<Effect> effects = shippedEffects();
  ASSERT_GE(effects.size(), 20u);
  for (Effect& e : importerEffects()) effects.push_back(std::move(e));

  std::vector<Check> checks;
  std::map<std::string, size_t> seen;  // the same program text is validated once
  for (const Effect& effect : effects) {
    cg::EffectDesc desc;
    std::string error;
    if (cg::parseEffect(effect.text.data(), effect.text.size(), desc, error) != 0) {
      ADD_FAILURE() << effect.name << ": " << error;
      continue;
    }
    for (const cg::TechniqueDesc& technique : desc.techniques)
      for (const cg::PassDesc& pass : technique.passes)
        for (const cg::ProgramRef* ref : {&pass.vertex, &pass.fragment})
          for (GlslDialect dialect : {GlslDialect::Desktop, GlslDialect::Es300}) {
            if (!ref->used || (dialect == GlslDialect::Es300 && ref->profileVersion > 130)) continue;
            const cg::ProgramDesc& program = desc.programs[static_cast<size_t>(ref->program)];
            Check check;
            check.text = cg::programText(desc, program, ref->profileVersion, dialect, true);
            const std::string key = (program.vertex ? "v" : "f") + check.text.source;
            if (seen.count(key)) continue;
            seen[key] = checks.size();
            check.where = effect.name + ": " + (program.vertex ? "glsl_vertex '" : "glsl_fragment '") + program.name +
                          "' (" + ref->profile + (dialect == GlslDialect::Es300 ? ", GLSL ES 3.00)" : ", desktop)");
            check.file = (folder / (std::to_string(checks.size()) + (program.vertex ? ".vert" : ".frag"))).string();
            check.blockLine = program.line;
            testing_support::writeFile(check.file, check.text.source);
            checks.push_back(std::move(check));
          }
  }
  ASSERT_GE(checks.size(), 100u);

  // One run for all: the validator prints each file's name, then that file's messages.
  std::string command = "glslangValidator";
  for (const Check& check : checks) command += " " + check.file;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[4096];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
  pclose(pipe);

  std::map<std::string, size_t> byFile;
  for (size_t i = 0; i < checks.size(); ++i) byFile[checks[i].file] = i;
  std::vector<std::string> messages(checks.size());
  size_t current = checks.size();
  size_t from = 0;
  while (from < output.size()) {
    const size_t end = std::min(output.find('\n', from), output.size());
    const std::string line = output.substr(from, end - from);
    from = end + 1;
    if (const auto it = byFile.find(line); it != byFile.end()) {
      current = it->second;
    } else if (current < checks.size()) {
      messages[current] += line + "\n";
    }
  }
  int failures = 0;
  for (size_t i = 0; i < checks.size(); ++i) {
    if (messages[i].find("ERROR") == std::string::npos) continue;
    ++failures;
    ADD_FAILURE() << cg::locatedLog(messages[i], checks[i].text, checks[i].blockLine, checks[i].where)
                  << "the translated text:\n"
                  << numbered(checks[i].text.source);
  }
  if (failures == 0) fs::remove_all(folder);
}

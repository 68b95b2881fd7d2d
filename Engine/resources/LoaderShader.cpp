// Effect loading of Loader: an effect file of the archive compiled in the Screen's Cg
// context, its first valid technique chosen, and its float parameters offered to the tweak GUI.
#include <algorithm>
#include <memory>
#include <new>
#include <sstream>

#include "cg/Cg.h"
#include "gui/TweakGui.h"
#include "resources/Loader.h"
#include "runtime/Logger.h"
#include "runtime/Runtime.h"
#include "screen/Screen.h"

namespace {

// The effect's text, read whole with a terminating zero, or null after logging why not.
std::unique_ptr<char[]> readEffectText(Loader& loader, const std::string& source) {
  loader.log() << "load shader: " << source << " .. ";
  const uint32_t size = loader.getSize(source);
  if (size == 0) {
    loader.log() << " error, file size 0\n";
    return nullptr;
  }
  std::unique_ptr<char[]> text(new (std::nothrow) char[static_cast<size_t>(size) + 1]);
  if (!text) return nullptr;
  if (loader.read(source, text.get()) != 0) return nullptr;
  text[size] = '\0';
  loader.log() << "ok\n";
  return text;
}

// The first technique that validates, logging each one that does not; null when none does.
CGtechnique chooseTechnique(Loader& loader, CGeffect effect) {
  for (CGtechnique technique = effect ? cgGetFirstTechnique(effect) : nullptr; technique;
       technique = cgGetNextTechnique(technique)) {
    if (cgValidateTechnique(technique)) return technique;
    loader.log() << "technique " << cgGetTechniqueName(technique) << " did not validate, skipping.\n";
  }
  return nullptr;
}

CGcontext cgContextOf(const Runtime* runtime) {
  return runtime && runtime->screen ? runtime->screen->cgContext : nullptr;
}

std::string formatNumber(float value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

}  // namespace

int Loader::loadShader(Shader& shader) {
  if (compileShader(shader) != 0) return 1;
  exposeParameters(shader);
  return 0;
}

int Loader::compileShader(Shader& shader) {
  std::unique_ptr<char[]> text = readEffectText(*this, shader.source);
  if (!text) return 1;
  shader.effect = cgCreateEffect(cgContextOf(runtime), text.get(), nullptr);
  reportCgError();
  text.reset();

  CGtechnique technique = chooseTechnique(*this, shader.effect);
  if (!technique) {
    log() << "no valid technique\n";
    return 1;
  }
  log() << "using technique " << cgGetTechniqueName(technique) << "\n";
  shader.technique = technique;
  return 0;
}

int Loader::loadSceneShader(Kestrel::Shader& shader, KestrelLibDynamic& scene) {
  // Entries that name the same effect file share its effect (and so its compiled programs);
  // what differs between them are their samplers and values, set before each draw.
  const size_t loaded = std::min(scene.effects.size(), scene.techniques.size());
  for (size_t i = 0; i < loaded && i < static_cast<size_t>(scene.shader_size()); ++i)
    if (&scene.shader(static_cast<int>(i)) != &shader && scene.shader(static_cast<int>(i)).source() == shader.source() &&
        scene.effects[i] && scene.techniques[i]) {
      scene.effects.push_back(scene.effects[i]);
      scene.techniques.push_back(scene.techniques[i]);
      return 0;
    }
  std::unique_ptr<char[]> text = readEffectText(*this, shader.source());
  if (!text) return 1;
  CGeffect effect = cgCreateEffect(cgContextOf(runtime), text.get(), nullptr);
  scene.effects.push_back(effect);
  reportCgError();
  text.reset();

  CGtechnique technique = chooseTechnique(*this, effect);
  if (!technique) {
    log() << "no valid technique\n";
    return 1;
  }
  log() << "using technique " << cgGetTechniqueName(technique) << "\n";
  scene.techniques.push_back(technique);
  return 0;
}

void Loader::reportCgError() {
  CGerror error = CG_NO_ERROR;
  const char* text = cgGetLastErrorString(&error);
  if (error == CG_NO_ERROR) return;
  if (error == CG_COMPILER_ERROR) {
    log() << "\nsituation: " << "creating effect" << " error: " << text << " cg compiler output: "
          << cgGetLastListing(cgContextOf(runtime)) << "\n";
  } else {
    log() << "\nsituation: " << "creating effect" << "error: " << text << "\n";
  }
}

int Loader::exposeParameters(Shader& shader) {
  if (!runtime || runtime->gui == 0) return 0;
  for (CGparameter parameter = shader.effect ? cgGetFirstEffectParameter(shader.effect) : nullptr; parameter;
       parameter = cgGetNextParameter(parameter)) {
    const std::string name = cgGetParameterName(parameter);
    log() << "found parameter: " << name << "\n";
    const std::string typeName = cgGetTypeString(cgGetParameterType(parameter));
    float minValue = 0.0f, maxValue = 100.0f, step = 0.01f;
    log() << "param type: " << typeName << "\n";

    for (CGannotation annotation = cgGetFirstParameterAnnotation(parameter); annotation;
         annotation = cgGetNextAnnotation(annotation)) {
      const std::string annotationName = cgGetAnnotationName(annotation);
      const std::string annotationType = cgGetTypeString(cgGetAnnotationType(annotation));
      log() << "\tfound annotation: " << annotationName << "\n";
      log() << "\t\tannotation type: " << annotationType << "\n";
      if (annotationType.compare(0, 5, "float") != 0) continue;
      int count = 0;
      const float* values = cgGetFloatAnnotationValues(annotation, &count);
      if (count < 1 || !values) continue;
      if (annotationName.compare(0, 5, "UIMax") == 0) {
        maxValue = values[0];
      } else if (annotationName.compare(0, 5, "UIMin") == 0) {
        minValue = values[0];
      } else if (annotationName.compare(0, 6, "UIStep") == 0) {
        step = values[0];
      }
    }

    if (typeName != "float") continue;  // vectors, matrices and samplers are not tweakable

    float value = 0.0f;
    if (cgGetParameterValuefr(parameter, 1, &value) == 0) {
      value = minValue;
      log() << "\tno default value specified. setting to minVal (" << minValue << ")\n";
    }
    const size_t slash = shader.source.rfind('/');
    const std::string group = slash == std::string::npos ? shader.source : shader.source.substr(slash + 1);
    const std::string definition = " group=" + group + " label='" + name + "' min=" + formatNumber(minValue) +
                                   " max=" + formatNumber(maxValue) + " step=" + formatNumber(step) + " ";
    // "bloom-final.cgfx" gives "bloom-final." + the parameter name: the last 4 characters go.
    const std::string variableName = group.substr(0, group.size() >= 4 ? group.size() - 4 : 0) + name;
    if (runtime->gui == 1 && runtime->tweakGui)
      runtime->tweakGui->addParameter(name, shader.effect, variableName, value, definition);
  }
  return 0;
}

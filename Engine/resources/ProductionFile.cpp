#include "resources/ProductionFile.h"

#include <google/protobuf/io/tokenizer.h>
#include <google/protobuf/text_format.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <set>

#include "resources/Loader.h"

namespace {

using google::protobuf::Descriptor;
using google::protobuf::FieldDescriptor;
using google::protobuf::TextFormat;
using Tree = TextFormat::ParseInfoTree;

// The text parser's errors and warnings (an unknown field, which the parser skips so that
// the rest of the file is still read, is a warning to it and an error to us).
class Collector : public google::protobuf::io::ErrorCollector {
 public:
  Collector(const std::string& file, std::vector<ProductionError>& errors) : file(file), errors(errors) {}
  void AddError(int line, int column, const std::string& message) override { add(line, column, message); }
  void AddWarning(int line, int column, const std::string& message) override { add(line, column, message); }
  int count = 0;

 private:
  void add(int line, int column, const std::string& message) {
    ++count;
    errors.push_back({file, line + 1, column + 1, message});
  }
  const std::string& file;
  std::vector<ProductionError>& errors;
};

// The checks after the parse: each error carries the place of the field it is about.
struct Checker {
  const std::string& file;
  std::vector<ProductionError>& errors;
  int found = 0;

  void at(const Tree* tree, const google::protobuf::Message& message, const char* field, int index,
          const std::string& text) {
    int line = 0, column = 0;
    if (tree) {
      const FieldDescriptor* descriptor = message.GetDescriptor()->FindFieldByName(field);
      const TextFormat::ParseLocation place = descriptor ? tree->GetLocation(descriptor, index) : TextFormat::ParseLocation();
      if (place.line >= 0) line = place.line + 1, column = place.column + 1;
    }
    errors.push_back({file, line, column, text});
    ++found;
  }
};

const Tree* nested(const Tree* tree, const google::protobuf::Message& message, const char* field, int index) {
  if (!tree) return nullptr;
  const FieldDescriptor* descriptor = message.GetDescriptor()->FindFieldByName(field);
  return descriptor ? tree->GetTreeForNested(descriptor, index) : nullptr;
}

ProductionFile::Place placeOf(const Tree* tree, const google::protobuf::Message& message, const char* field, int index) {
  if (!tree) return {};
  const TextFormat::ParseLocation place = tree->GetLocation(message.GetDescriptor()->FindFieldByName(field), index);
  return place.line >= 0 ? ProductionFile::Place{place.line + 1, place.column + 1} : ProductionFile::Place{};
}

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

// Which side of a part a transition kind belongs to.
bool inKind(int kind) { return kind == 0 || kind == 1 || kind == 3 || kind == 6 || kind == 8; }
bool outKind(int kind) { return kind == 0 || kind == 2 || kind == 4 || kind == 5 || kind == 7; }

std::string entryName(int index, const Pylon::Entry& entry) {
  return "entry " + std::to_string(index + 1) + " (part \"" + entry.part() + "\")";
}

}  // namespace

std::string ProductionError::text() const {
  if (file.empty()) return message;
  if (line > 0) return file + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + message;
  return file + ": " + message;
}

double beatSeconds(const Pylon::Production& production, double beats) {
  return beats * 60.0 / production.music().bpm();
}

double rowSeconds(const Pylon::Production& production, double rows) {
  return beatSeconds(production, rows / static_cast<double>(production.music().rows_per_beat()));
}

int readProduction(const std::string& text, const std::string& file, ProductionFile& production,
                   std::vector<ProductionError>& errors) {
  production = ProductionFile{};
  production.file = file;
  Collector collector(file, errors);
  Tree tree;
  TextFormat::Parser parser;
  parser.RecordErrorsTo(&collector);
  parser.WriteLocationsTo(&tree);
  parser.AllowUnknownField(true);
  Pylon::Production& p = production.message;
  const bool parsed = parser.ParseFromString(text, &p);
  if (!parsed && collector.count == 0) errors.push_back({file, 0, 0, "the file could not be read"});
  if (!parsed) return 1;
  production.parsed = true;

  Checker check{file, errors};
  check.found = collector.count;

  // The tempo, needed by any time written in beats or rows.
  const bool tempo = p.has_music() && p.music().has_bpm();
  if (p.has_music()) {
    const Tree* music = nested(&tree, p, "music", -1);
    if (p.music().has_bpm() && !(std::isfinite(p.music().bpm()) && p.music().bpm() > 0.0 && p.music().bpm() <= 1000.0))
      check.at(music, p.music(), "bpm", -1, "bpm must be above 0 and at most 1000, not " + number(p.music().bpm()));
    if (p.music().rows_per_beat() < 1 || p.music().rows_per_beat() > 256)
      check.at(music, p.music(), "rows_per_beat", -1, "rows_per_beat must be 1 to 256");
    if (p.music().member().empty()) check.at(&tree, p, "music", -1, "the music names no member");
  }
  // A time (or length) written in seconds, beats or rows, as seconds; NaN when unusable.
  auto seconds = [&](const Tree* where, const google::protobuf::Message& message, const char* name, double value,
                     int unit) -> double {
    if (!std::isfinite(value)) {
      check.at(where, message, name, -1, std::string(name) + " must be a finite number");
      return NAN;
    }
    if (unit == 0) return value;
    if (!tempo || !(p.music().bpm() > 0.0)) {
      check.at(where, message, name, -1, std::string(name) + " is in beats or rows, but the music gives no bpm");
      return NAN;
    }
    return unit == 1 ? beatSeconds(p, value) : rowSeconds(p, value);
  };

  // Length.
  switch (p.length_is_case()) {
    case Pylon::Production::kLength: production.length = seconds(&tree, p, "length", p.length(), 0); break;
    case Pylon::Production::kLengthBeats:
      production.length = seconds(&tree, p, "length_beats", p.length_beats(), 1);
      break;
    case Pylon::Production::kLengthRows: production.length = seconds(&tree, p, "length_rows", p.length_rows(), 2); break;
    default: check.at(nullptr, p, "", -1, "the production gives no length"); production.length = NAN;
  }
  if (std::isfinite(production.length) && !(production.length > 0.0 && production.length <= 86400.0))
    check.at(&tree, p, p.has_length() ? "length" : p.has_length_beats() ? "length_beats" : "length_rows", -1,
             "the length must be above 0 s and at most a day, not " + number(production.length) + " s");

  // Parts.
  std::map<std::string, int> ids;
  for (int i = 0; i < p.part_size(); ++i) {
    const Pylon::Part& part = p.part(i);
    const Tree* where = nested(&tree, p, "part", i);
    production.partPlaces.push_back(placeOf(&tree, p, "part", i));
    const std::string name = "part " + std::to_string(i + 1);
    if (part.id().empty()) {
      check.at(&tree, p, "part", i, name + " has no id");
    } else if (!ids.emplace(part.id(), i).second) {
      check.at(where, part, "id", -1, "a second part with the id \"" + part.id() + "\"");
    }
    switch (part.kind_case()) {
      case Pylon::Part::kCity:
        if (!std::isfinite(part.city().cars_from()))
          check.at(nested(where, part, "city", -1), part.city(), "cars_from", -1, "cars_from must be a finite number");
        break;
      case Pylon::Part::kScene: {
        const Pylon::ScenePart& scene = part.scene();
        const Tree* at = nested(where, part, "scene", -1);
        if (scene.source_case() == Pylon::ScenePart::SOURCE_NOT_SET)
          check.at(where, part, "scene", -1, "the scene part \"" + part.id() + "\" names neither a member nor a gltf file");
        if (!(std::isfinite(scene.near()) && scene.near() > 0.0f))
          check.at(at, scene, "near", -1, "near must be above 0");
        if (!(std::isfinite(scene.far()) && scene.far() > scene.near()))
          check.at(at, scene, "far", -1, "far must be beyond near");
        break;
      }
      case Pylon::Part::kShader:
        if (part.shader().effect().empty())
          check.at(where, part, "shader", -1, "the shader part \"" + part.id() + "\" names no effect");
        break;
      default: check.at(&tree, p, "part", i, name + " (\"" + part.id() + "\") has no kind: city, scene or shader");
    }
  }

  // The timeline.
  if (p.entry_size() == 0) check.at(nullptr, p, "", -1, "the timeline has no entry");
  for (int i = 0; i < p.entry_size(); ++i) {
    const Pylon::Entry& e = p.entry(i);
    const Tree* where = nested(&tree, p, "entry", i);
    production.entryPlaces.push_back(placeOf(&tree, p, "entry", i));
    const std::string name = entryName(i, e);
    if (i == kMaxProductionEntries) {
      check.at(&tree, p, "entry", i,
               name + ": the timeline holds at most " + std::to_string(kMaxProductionEntries) + " entries");
    }
    ResolvedEntry r;
    const auto found = ids.find(e.part());
    if (found == ids.end())
      check.at(where ? where : &tree, e, "part", -1, name + ": there is no part \"" + e.part() + "\"");
    else
      r.part = found->second;

    double start = 0, end = NAN, fadeIn = 0, fadeOut = 0;
    switch (e.start_at_case()) {
      case Pylon::Entry::kStart: start = seconds(where, e, "start", e.start(), 0); break;
      case Pylon::Entry::kStartBeat: start = seconds(where, e, "start_beat", e.start_beat(), 1); break;
      case Pylon::Entry::kStartRow: start = seconds(where, e, "start_row", e.start_row(), 2); break;
      default: break;
    }
    switch (e.end_at_case()) {
      case Pylon::Entry::kEnd: end = seconds(where, e, "end", e.end(), 0); break;
      case Pylon::Entry::kEndBeat: end = seconds(where, e, "end_beat", e.end_beat(), 1); break;
      case Pylon::Entry::kEndRow: end = seconds(where, e, "end_row", e.end_row(), 2); break;
      default: check.at(&tree, p, "entry", i, name + " has no end");
    }
    switch (e.fade_in_for_case()) {
      case Pylon::Entry::kFadeIn: fadeIn = seconds(where, e, "fade_in", e.fade_in(), 0); break;
      case Pylon::Entry::kFadeInBeats: fadeIn = seconds(where, e, "fade_in_beats", e.fade_in_beats(), 1); break;
      case Pylon::Entry::kFadeInRows: fadeIn = seconds(where, e, "fade_in_rows", e.fade_in_rows(), 2); break;
      default: break;
    }
    switch (e.fade_out_for_case()) {
      case Pylon::Entry::kFadeOut: fadeOut = seconds(where, e, "fade_out", e.fade_out(), 0); break;
      case Pylon::Entry::kFadeOutBeats: fadeOut = seconds(where, e, "fade_out_beats", e.fade_out_beats(), 1); break;
      case Pylon::Entry::kFadeOutRows: fadeOut = seconds(where, e, "fade_out_rows", e.fade_out_rows(), 2); break;
      default: break;
    }
    if (std::isfinite(start) && start < 0.0) check.at(where, e, "start", -1, name + ": starts before 0 s");
    if (std::isfinite(start) && std::isfinite(end) && !(end > start))
      check.at(where, e, "end", -1, name + ": ends at " + number(end) + " s, not after its start at " + number(start) + " s");
    if (std::isfinite(fadeIn) && fadeIn < 0.0) check.at(where, e, "fade_in", -1, name + ": a fade cannot be negative");
    if (std::isfinite(fadeOut) && fadeOut < 0.0) check.at(where, e, "fade_out", -1, name + ": a fade cannot be negative");
    if (std::isfinite(start) && std::isfinite(end) && end > start &&
        ((std::isfinite(fadeIn) && fadeIn > end - start) || (std::isfinite(fadeOut) && fadeOut > end - start)))
      check.at(where, e, fadeIn > end - start ? "fade_in" : "fade_out", -1, name + ": a fade is longer than the entry");
    if (!inKind(e.in()))
      check.at(where, e, "in", -1, name + ": " + Pylon::Transition_Name(e.in()) + " is a transition out, not in");
    if (!outKind(e.out()))
      check.at(where, e, "out", -1, name + ": " + Pylon::Transition_Name(e.out()) + " is a transition in, not out");
    r.start = static_cast<float>(start);
    r.end = static_cast<float>(end);
    r.fadeIn = static_cast<float>(fadeIn);
    r.fadeOut = static_cast<float>(fadeOut);
    r.inKind = e.in();
    r.outKind = e.out();
    production.timeline.push_back(r);
  }

  // Cross-fades and wipes: the outgoing part's entry comes first, the incoming part's window
  // overlaps its own, and no two transitions overlap (they share the transition targets).
  struct Window {
    int source, target;
    double from, to;
  };
  std::vector<Window> windows;
  std::set<int> paired;
  const auto& timeline = production.timeline;
  for (int i = 0; i < static_cast<int>(timeline.size()); ++i) {
    const ResolvedEntry& in = timeline[i];
    if (in.inKind != 6 && in.inKind != 8) continue;
    const int wanted = in.inKind == 6 ? 5 : 7;
    const double inFrom = in.start, inTo = double(in.start) + in.fadeIn;
    int source = -1;
    for (int j = i - 1; j >= 0 && source < 0; --j) {
      const ResolvedEntry& out = timeline[j];
      if (out.outKind != wanted || paired.count(j)) continue;
      const double outFrom = double(out.end) - out.fadeOut, outTo = out.end;
      if (outFrom < inTo && inFrom < outTo) source = j;
    }
    const char* what = in.inKind == 6 ? "cross-fade" : "wipe";
    if (source < 0) {
      check.at(nested(&tree, p, "entry", i), p.entry(i), "in", -1,
               entryName(i, p.entry(i)) + ": a " + what + " in with no " + what +
                   " out of an earlier entry whose window overlaps it");
      continue;
    }
    paired.insert(source);
    const double from = std::min(double(timeline[source].end) - timeline[source].fadeOut, inFrom);
    const double to = std::max(double(timeline[source].end), inTo);
    for (const Window& other : windows) {
      if (from < other.to && other.from < to)
        check.at(nested(&tree, p, "entry", i), p.entry(i), "in", -1,
                 entryName(i, p.entry(i)) + ": its " + what + " overlaps the transition of entries " +
                     std::to_string(other.source + 1) + " and " + std::to_string(other.target + 1));
    }
    windows.push_back({source, i, from, to});
  }
  for (int j = 0; j < static_cast<int>(timeline.size()); ++j) {
    if ((timeline[j].outKind == 5 || timeline[j].outKind == 7) && !paired.count(j))
      check.at(nested(&tree, p, "entry", j), p.entry(j), "out", -1,
               entryName(j, p.entry(j)) + ": a " + (timeline[j].outKind == 5 ? "cross-fade" : "wipe") +
                   " out that no later entry takes in");
  }

  // The post chain.
  if (p.has_post()) {
    const Tree* post = nested(&tree, p, "post", -1);
    if (p.post().has_bloom_threshold() && !std::isfinite(p.post().bloom_threshold()))
      check.at(post, p.post(), "bloom_threshold", -1, "bloom_threshold must be a finite number");
    if (p.post().has_bloom_threshold_wave()) {
      const Pylon::Wave& w = p.post().bloom_threshold_wave();
      if (!std::isfinite(w.base()) || !std::isfinite(w.amplitude()) || !std::isfinite(w.rate()))
        check.at(post, p.post(), "bloom_threshold_wave", -1, "the threshold's wave needs finite numbers");
    }
    if (p.post().has_flash()) {
      const Pylon::Flash& flash = p.post().flash();
      const Tree* at = nested(post, p.post(), "flash", -1);
      if (!flash.off() && (flash.bin() < 1 || flash.bin() > 512))
        check.at(at, flash, "bin", -1, "the flash's bin must be 1 to 512 (or set off: true)");
      if (!(std::isfinite(flash.gain()) && flash.gain() >= 0.0f))
        check.at(at, flash, "gain", -1, "the flash's gain must be 0 or more");
    }
  }

  // Tracks and their bindings.
  std::set<std::string> trackNames;
  for (int i = 0; i < p.tracks_size(); ++i) {
    const Pylon::Track& track = p.tracks(i);
    const Tree* where = nested(&tree, p, "tracks", i);
    if (track.name().empty()) {
      check.at(&tree, p, "tracks", i, "track " + std::to_string(i + 1) + " has no name");
      continue;
    }
    const std::string name = "track \"" + track.name() + "\"";
    if (!trackNames.insert(track.name()).second) check.at(where, track, "name", -1, "a second " + name);
    if (track.feed_case() != Pylon::Track::FEED_NOT_SET && track.key_size() > 0)
      check.at(where, track, "key", 0,
               name + (track.has_wave() ? " is fed from the clock" : " is fed from the music") + " and cannot have keys too");
    if (track.has_beat() && !(tempo && p.music().bpm() > 0.0))
      check.at(where, track, "beat", -1, name + " follows the beat, but the music gives no bpm");
    for (int k = 0; k < track.key_size(); ++k) {
      const Pylon::Key& key = track.key(k);
      if (!std::isfinite(key.value())) check.at(where, track, "key", k, name + ": a key's value must be a finite number");
      if (k > 0 && key.row() <= track.key(k - 1).row())
        check.at(where, track, "key", k, name + ": the key on row " + std::to_string(key.row()) +
                                             " does not come after the row of the key before it");
    }
    if (track.has_wave()) {
      const Pylon::Wave& w = track.wave();
      if (!std::isfinite(w.base()) || !std::isfinite(w.amplitude()) || !std::isfinite(w.rate()))
        check.at(where, track, "wave", -1, name + ": a wave needs finite numbers");
    }
    if (track.has_band()) {
      const Pylon::Band& band = track.band();
      const Tree* at = nested(where, track, "band", -1);
      const uint32_t last = band.has_last_bin() ? band.last_bin() : band.first_bin();
      if (band.first_bin() < 1 || band.first_bin() > 512 || last < band.first_bin() || last > 512)
        check.at(at, band, band.has_last_bin() ? "last_bin" : "first_bin", -1,
                 name + ": a band runs over bins 1 to 512, first_bin to last_bin");
      if (!std::isfinite(band.gain()) || !(std::isfinite(band.attack()) && band.attack() >= 0.0) ||
          !(std::isfinite(band.release()) && band.release() >= 0.0))
        check.at(where, track, "band", -1, name + ": a band's gain, attack and release must be finite, the times 0 or more");
    }
  }
  if (p.has_rocket_tracks() && p.rocket_tracks().prefix().empty())
    check.at(&tree, p, "rocket_tracks", -1, "rocket_tracks needs a prefix");
  for (int i = 0; i < p.bind_size(); ++i) {
    const Pylon::Binding& bind = p.bind(i);
    const Tree* where = nested(&tree, p, "bind", i);
    const std::string name = "binding " + std::to_string(i + 1);
    if (bind.track().empty())
      check.at(&tree, p, "bind", i, name + " names no track");
    else if (!trackNames.count(bind.track()) && !p.has_rocket_tracks())
      check.at(where, bind, "track", -1,
               name + ": there is no track \"" + bind.track() + "\" (and no rocket_tracks to read it from)");
    switch (bind.target_case()) {
      case Pylon::Binding::kParameter: {
        const std::string& target = bind.parameter();
        const size_t first = target.find(':'), second = first == std::string::npos ? first : target.find(':', first + 1);
        const std::string part = target.substr(0, first);
        if (second == std::string::npos || first == 0 || second == first + 1 || second + 1 >= target.size())
          check.at(where, bind, "parameter", -1, name + ": \"" + target + "\" is not part:effect:parameter");
        else if (!ids.count(part))
          check.at(where, bind, "parameter", -1, name + ": there is no part \"" + part + "\"");
        break;
      }
      case Pylon::Binding::kFade:
        if (!ids.count(bind.fade())) check.at(where, bind, "fade", -1, name + ": there is no part \"" + bind.fade() + "\"");
        break;
      case Pylon::Binding::kPost:
      case Pylon::Binding::kCameraFov:
      case Pylon::Binding::kCamera: break;
      default: check.at(&tree, p, "bind", i, name + " has no target: parameter, post, fade, camera_fov or camera");
    }
  }
  return check.found == 0 ? 0 : 1;
}

int checkMembers(const ProductionFile& production, Loader& loader, std::vector<ProductionError>& errors) {
  const size_t before = errors.size();
  const Pylon::Production& p = production.message;
  auto need = [&](const std::string& member, ProductionFile::Place place, const std::string& what) {
    if (member.empty() || loader.getSize(member) != 0) return;
    errors.push_back({production.file, place.line, place.column,
                      what + " " + member + " is not in " + (loader.archivePath.empty() ? "the data" : loader.archivePath)});
  };
  if (p.has_music()) need(p.music().member(), {}, "the music");
  for (int i = 0; i < p.part_size(); ++i) {
    const Pylon::Part& part = p.part(i);
    const ProductionFile::Place place = i < static_cast<int>(production.partPlaces.size()) ? production.partPlaces[i]
                                                                                          : ProductionFile::Place{};
    const std::string of = "part \"" + part.id() + "\": ";
    if (part.has_city()) {
      need(part.city().scene(), place, of + "the scene");
      if (part.city().cars()) {
        need(part.city().car_mesh(), place, of + "the car mesh");
        need(part.city().car_effect(), place, of + "the car effect");
        need(part.city().car_texture(), place, of + "the car texture");
      }
    }
    if (part.has_scene()) need(part.scene().has_member() ? part.scene().member() : part.scene().gltf(), place, of + "the scene");
    if (part.has_shader()) need(part.shader().effect(), place, of + "the effect");
  }
  return errors.size() == before ? 0 : 1;
}

double sceneProductionLength(double animationSeconds) {
  return animationSeconds > 0.0 ? animationSeconds + 1.0 : 10.0;
}

std::string sceneProductionText(const SceneProduction& scene) {
  Pylon::Production p;
  p.set_title(scene.title);
  p.set_length(scene.length);
  if (!scene.music.empty()) p.mutable_music()->set_member(scene.music);
  Pylon::Part& part = *p.add_part();
  part.set_id("scene");
  part.mutable_scene()->set_member(scene.member);
  if (scene.near > 0.0f && scene.far > scene.near) {
    part.mutable_scene()->set_near(scene.near);
    part.mutable_scene()->set_far(scene.far);
  }
  Pylon::Entry& entry = *p.add_entry();
  entry.set_part("scene");
  entry.set_start(0);
  entry.set_end(scene.length);
  // In from black over at most a second; out to black over the last second, which the
  // length leaves after the animation.
  entry.set_fade_in(std::min(1.0, scene.length / 4.0));
  entry.set_fade_out(std::min(1.0, scene.length / 4.0));
  std::string text;
  TextFormat::PrintToString(p, &text);
  return "# The production of one imported scene: the scene over its animation, fading in from\n"
         "# and out to black. docs/production-format.md describes every field.\n" + text;
}

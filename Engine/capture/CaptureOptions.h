// CaptureOptions: the player's capture options (--capture, --fps, --codec, --quality,
// --audio-codec, --list-codecs)
// applied to the settings record and the codec list.
//
// Screen::init calls applyCaptureOptions() after the settings defaults and the start-up
// dialog, so the command line has the last word. The player's main checks --codec and
// prints --list-codecs before the engine starts, with findCodec() and codecListText().
#pragma once

#include <string>
#include <vector>

#include "capture/CodecInfo.h"

struct ProgramOptions;
struct UserConfig;
class AviCapture;

// The index of the codec that `name` names: its description (case-insensitive), its
// four-character code (case-insensitive), or a piece of text found in exactly one
// description. -1 when none or several match.
int findCodec(const std::vector<CodecInfo>& codecs, const std::string& name);

// A heading, then one line per codec: index, four-character code, the containers it fits
// (avi mp4 mov mkv) and description; the defaults are marked.
std::string codecListText(const std::vector<CodecInfo>& codecs);

// "FMP4" for the code of 'F','M','P','4'; unprintable bytes become '.'.
std::string fourCCText(uint32_t code);

// Whether the file name asks for a publishing container (.mp4, .mov, .mkv).
bool isPublishingFile(const std::string& path);

// Sets captureEnabled and captureFileName from --capture, captureFrameRateIndex from --fps
// and codecIndex from --codec (H.264 for a publishing container without --codec), the
// capture's quality and sound codec from --quality and --audio-codec, and the capture's
// fromCommandLine from --capture; fills `codecs` through `capture` when capturing and the list
// is still empty. An empty captureFileName gets the default beside the program.
void applyCaptureOptions(const ProgramOptions& options, UserConfig& config, std::vector<CodecInfo>& codecs,
                         AviCapture& capture);

// The program's own path with its extension replaced by "_capture.avi", beside the
// program; where the program's folder is not writable (an installed /usr/bin/veltro12) the
// same file name in the working directory.
std::string defaultCaptureFileName();
std::string defaultCaptureFileName(const std::string& programPath);

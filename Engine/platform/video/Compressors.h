// Compressors: the installed video compressors, in the shape of the classic IC interface.
//
// The compressors are FFmpeg's video encoders that an AVI file can carry (they have an AVI
// four-character code), that run on the processor (no hardware encoders) and that take
// frames convertible from 24-bit BGR. Each is listed once per four-character code; the list
// starts with MPEG-4 part 2 ("FMP4", compact and widely playable) and FFV1 ("FFV1",
// lossless), the others follow in FFmpeg's order. ICInfo walks the list by index, ICOpen
// opens one by its code, ICGetInfo fills its record (szDescription is the encoder's long
// name, szName its short name), ICClose closes it.
//
// ICSendMessage answers ICM_CONFIGURE: these compressors have no settings dialog of their
// own, so the configuration query and the dialog request both answer ICERR_UNSUPPORTED.
// Main thread only.
#pragma once

#include <cstdint>

#include "platform/video/Avi.h"

namespace platform::video {

constexpr FOURCC ICTYPE_VIDEO = makeFourCC('v', 'i', 'd', 'c');

constexpr unsigned ICMODE_COMPRESS = 1;
constexpr unsigned ICMODE_QUERY = 4;

constexpr unsigned ICM_USER = 0x4000;
constexpr unsigned ICM_CONFIGURE = ICM_USER + 10;
constexpr unsigned ICM_GETINFO = ICM_USER + 2;
constexpr intptr_t ICMF_CONFIGURE_QUERY = 1;

constexpr intptr_t ICERR_OK = 0;
constexpr intptr_t ICERR_UNSUPPORTED = -1;
constexpr intptr_t ICERR_BADHANDLE = -8;

struct ICINFO {
  uint32_t dwSize = 0;
  FOURCC fccType = 0;
  FOURCC fccHandler = 0;
  uint32_t dwFlags = 0;
  uint32_t dwVersion = 0;
  uint32_t dwVersionICM = 0;
  wchar_t szName[16] = {};
  wchar_t szDescription[128] = {};
  wchar_t szDriver[128] = {};
};

struct CompressorObject;
using HIC = CompressorObject*;

// TRUE (1) and the record's type and handler for compressor `index`; FALSE (0) past the end.
int ICInfo(FOURCC fccType, uint32_t index, ICINFO* info);
// A handle, or nullptr when no compressor of that type has the handler code.
HIC ICOpen(FOURCC fccType, FOURCC fccHandler, unsigned mode);
// Bytes copied into `info` (at most `size`), 0 for a bad handle.
long ICGetInfo(HIC compressor, ICINFO* info, unsigned long size);
intptr_t ICSendMessage(HIC compressor, unsigned message, intptr_t param1, intptr_t param2);
intptr_t ICClose(HIC compressor);

}  // namespace platform::video

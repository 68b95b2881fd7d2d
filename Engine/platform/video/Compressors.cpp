#include "platform/video/Compressors.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/video/EncoderTable.h"

namespace platform::video {

struct CompressorObject {
  const EncoderEntry* entry = nullptr;
  unsigned mode = 0;
};

namespace {

// Encoder names are ASCII; anything else is shown as '?'.
template <size_t N>
void copyWide(wchar_t (&target)[N], const std::string& text) {
  const size_t n = std::min(text.size(), N - 1);
  for (size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    target[i] = c < 0x80 ? static_cast<wchar_t>(c) : L'?';
  }
  target[n] = 0;
}

void fillInfo(const EncoderEntry& entry, ICINFO& info) {
  info = ICINFO{};
  info.dwSize = sizeof(ICINFO);
  info.fccType = ICTYPE_VIDEO;
  info.fccHandler = entry.handler;
  info.dwVersion = LIBAVCODEC_VERSION_INT;
  copyWide(info.szName, entry.name);
  copyWide(info.szDescription, entry.description);
  copyWide(info.szDriver, "libavcodec");
}

}  // namespace

int ICInfo(FOURCC fccType, uint32_t index, ICINFO* info) {
  if (!info || (fccType != ICTYPE_VIDEO && fccType != 0)) return 0;
  const auto& table = encoderTable();
  if (index >= table.size()) return 0;
  *info = ICINFO{};
  info->dwSize = sizeof(ICINFO);
  info->fccType = ICTYPE_VIDEO;
  info->fccHandler = table[index].handler;
  return 1;
}

HIC ICOpen(FOURCC fccType, FOURCC fccHandler, unsigned mode) {
  if (fccType != ICTYPE_VIDEO) return nullptr;
  const EncoderEntry* entry = findEncoder(fccHandler);
  if (!entry) return nullptr;
  return new (std::nothrow) CompressorObject{entry, mode};
}

long ICGetInfo(HIC compressor, ICINFO* info, unsigned long size) {
  if (!compressor || !info) return 0;
  ICINFO full;
  fillInfo(*compressor->entry, full);
  const size_t n = std::min<size_t>(size, sizeof(ICINFO));
  std::memcpy(static_cast<void*>(info), &full, n);
  return static_cast<long>(n);
}

intptr_t ICSendMessage(HIC compressor, unsigned message, intptr_t param1, intptr_t param2) {
  if (!compressor) return ICERR_BADHANDLE;
  switch (message) {
    case ICM_GETINFO:
      return ICGetInfo(compressor, reinterpret_cast<ICINFO*>(param1), static_cast<unsigned long>(param2));
    case ICM_CONFIGURE:  // no settings dialog: neither the query nor the dialog is supported
    default:
      return ICERR_UNSUPPORTED;
  }
}

intptr_t ICClose(HIC compressor) {
  if (!compressor) return ICERR_BADHANDLE;
  delete compressor;
  return ICERR_OK;
}

}  // namespace platform::video

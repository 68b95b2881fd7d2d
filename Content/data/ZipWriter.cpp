#include "data/ZipWriter.h"

#include <zip.h>

#include <cstdio>

namespace content {
namespace {
// 2012-12-21 00:00:00 in MS-DOS date and time form: every member carries this stamp.
constexpr zip_uint16_t kDosDate = ((2012 - 1980) << 9) | (12 << 5) | 21;
constexpr zip_uint16_t kDosTime = 0;
}  // namespace

int ZipWriter::add(const std::string& name, std::vector<uint8_t> data) {
  for (const ZipMember& m : entries)
    if (m.name == name) return 1;
  entries.push_back({name, std::move(data)});
  return 0;
}

int ZipWriter::write(const std::string& path, std::string& error) const {
  std::remove(path.c_str());
  int code = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
  if (!archive) {
    zip_error_t ze;
    zip_error_init_with_code(&ze, code);
    error = path + ": cannot create archive: " + zip_error_strerror(&ze);
    zip_error_fini(&ze);
    return 1;
  }
  for (const ZipMember& m : entries) {
    zip_source_t* source = zip_source_buffer(archive, m.data.data(), m.data.size(), 0);
    zip_int64_t index = source ? zip_file_add(archive, m.name.c_str(), source, ZIP_FL_ENC_UTF_8) : -1;
    if (index < 0) {
      if (source) zip_source_free(source);
      error = path + ": cannot add " + m.name + ": " + zip_strerror(archive);
      zip_discard(archive);
      return 1;
    }
    zip_uint64_t i = zip_uint64_t(index);
    // Images are deflated already; storing them saves time and no space.
    bool packed = m.name.size() > 4 && m.name.compare(m.name.size() - 4, 4, ".png") == 0;
    if (zip_set_file_compression(archive, i, packed ? ZIP_CM_STORE : ZIP_CM_DEFLATE, packed ? 0 : 9) != 0 ||
        zip_file_set_dostime(archive, i, kDosTime, kDosDate, 0) != 0 ||
        zip_file_set_external_attributes(archive, i, 0, ZIP_OPSYS_UNIX, 0100644u << 16) != 0) {
      error = path + ": cannot set up " + m.name + ": " + zip_strerror(archive);
      zip_discard(archive);
      return 1;
    }
  }
  if (zip_close(archive) != 0) {
    error = path + ": cannot write archive: " + zip_strerror(archive);
    zip_discard(archive);
    return 1;
  }
  return 0;
}

}  // namespace content

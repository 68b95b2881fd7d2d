// FromChars: std::from_chars for every number type, including floating point where the C++
// library lacks it.
//
// fromChars(first, last, value) behaves as std::from_chars with the general format: no
// leading blanks or '+', '.' is always the decimal point, `value` is left alone on failure
// (errc::invalid_argument, ptr == first) and when the number is out of range
// (errc::result_out_of_range, ptr past it). Integers always go to std::from_chars; so do
// floating-point numbers, except with the web build's libc++ 14, which declares them
// deleted: there strtod reads them, which the browser's "C" locale (the only one a page
// has) makes locale independent. Header only; any thread.
#pragma once

#include <charconv>
#include <system_error>
#include <type_traits>

#if defined(__EMSCRIPTEN__) && defined(_LIBCPP_VERSION) && _LIBCPP_VERSION < 170000
#include <cerrno>
#include <cstdlib>
#include <string>
#define PYLON_FLOAT_FROM_CHARS_FALLBACK 1
#endif

namespace platform {

template <typename T>
std::from_chars_result fromChars(const char* first, const char* last, T& value) {
#ifdef PYLON_FLOAT_FROM_CHARS_FALLBACK
  if constexpr (std::is_floating_point_v<T>) {
    const char* at = first;
    if (at < last && *at == '-') ++at;
    // strtod takes what from_chars refuses: leading blanks, a '+', hexadecimal "0x...".
    if (at == last || !((*at >= '0' && *at <= '9') || *at == '.' || *at == 'i' || *at == 'I' || *at == 'n' || *at == 'N'))
      return {first, std::errc::invalid_argument};
    if (*at == '0' && at + 1 < last && (at[1] == 'x' || at[1] == 'X')) {
      value = static_cast<T>(*first == '-' ? -0.0 : 0.0);
      return {at + 1, std::errc()};
    }
    const std::string text(first, last);
    char* end = nullptr;
    errno = 0;
    T parsed;
    if constexpr (std::is_same_v<T, float>)
      parsed = std::strtof(text.c_str(), &end);
    else if constexpr (std::is_same_v<T, double>)
      parsed = std::strtod(text.c_str(), &end);
    else
      parsed = std::strtold(text.c_str(), &end);
    const char* stop = first + (end - text.c_str());
    if (stop == first) return {first, std::errc::invalid_argument};
    if (errno == ERANGE) return {stop, std::errc::result_out_of_range};
    value = parsed;
    return {stop, std::errc()};
  } else
#endif
  {
    return std::from_chars(first, last, value);
  }
}

}  // namespace platform

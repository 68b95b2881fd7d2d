// Result: the status every call of the audio layer returns, and its text.
//
// Ok (0) is success; every other value names one failure. The numbers are stable: the
// engine tests some of them by value (OutputCreateBuffer is 57, the failure that earns one
// retry in stereo). errorString() gives the text shown to the user for any status, and
// "Unknown error." for a number the layer never returns. Usable from any thread.
#pragma once

namespace audio {

enum class Result : int {
  Ok = 0,
  InvalidHandle = 1,       // a null or released object
  InvalidParam = 2,        // an argument out of range
  NotInitialized = 3,      // the system has not been initialised
  AlreadyInitialized = 4,  // init called twice
  OutOfMemory = 5,
  CreateFailed = 6,         // the system object could not be created
  NoDrivers = 7,            // the output method has no device
  OutputUnavailable = 8,    // the output method is not built into this machine's audio library
  OutputInit = 9,           // the output method could not be started
  NotVorbis = 10,           // the data is not an Ogg Vorbis stream
  DamagedStream = 11,       // the Ogg Vorbis headers or data are damaged
  UnsupportedStream = 12,   // an Ogg Vorbis stream this layer cannot play (no length, no channels)
  InvalidPosition = 13,     // a seek past the end of the stream
  Unsupported = 14,         // a mode or time unit this layer does not offer
  ChannelEnded = 15,        // the channel has been stopped
  OutputCreateBuffer = 57,  // the device refused the buffer in the requested speaker mode
};

// The text for a status given as a plain number: "No errors." for 0, "Unknown error." for
// a number that is not one of the values above.
const char* errorString(int result);
inline const char* errorString(Result result) { return errorString(static_cast<int>(result)); }

}  // namespace audio

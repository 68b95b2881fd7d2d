#include "platform/audio/Result.h"

namespace audio {

const char* errorString(int result) {
  switch (static_cast<Result>(result)) {
    case Result::Ok:
      return "No errors.";
    case Result::InvalidHandle:
      return "An invalid object handle was used.";
    case Result::InvalidParam:
      return "An invalid parameter was passed to this function.";
    case Result::NotInitialized:
      return "The sound system has not been initialised yet.";
    case Result::AlreadyInitialized:
      return "The sound system has already been initialised.";
    case Result::OutOfMemory:
      return "Not enough memory or resources.";
    case Result::CreateFailed:
      return "The sound system could not be created.";
    case Result::NoDrivers:
      return "The chosen output method has no sound device.";
    case Result::OutputUnavailable:
      return "The chosen output method is not available on this machine.";
    case Result::OutputInit:
      return "The chosen output method could not be started.";
    case Result::NotVorbis:
      return "The music is not an Ogg Vorbis file.";
    case Result::DamagedStream:
      return "The Ogg Vorbis file is damaged and cannot be decoded.";
    case Result::UnsupportedStream:
      return "The Ogg Vorbis file has no length or no channels and cannot be played.";
    case Result::InvalidPosition:
      return "An invalid seek position was passed to this function.";
    case Result::Unsupported:
      return "A command issued was not supported by this object.";
    case Result::ChannelEnded:
      return "The channel has been stopped.";
    case Result::OutputCreateBuffer:
      return "Error creating hardware sound buffer.";
  }
  return "Unknown error.";
}

}  // namespace audio

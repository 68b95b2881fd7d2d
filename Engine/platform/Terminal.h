// Terminal: whether a standard stream is an interactive terminal, for progress output that
// redraws one line there and writes occasional plain lines into logs and pipes.
#pragma once

namespace platform {

bool standardErrorIsTerminal();

}  // namespace platform

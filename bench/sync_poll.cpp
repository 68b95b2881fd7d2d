// bench_sync_poll: how long one frame's SyncClient::poll takes when the editor is missing,
// silent or slow, against a frame's 16.7 ms at 60 Hz.
//
//   bench_sync_poll [--polls N]
//
// Each case polls N times (default 20000) as a player does once a frame, with the client's
// clock advancing 1/60 s a poll and attempts every 0.05 s (so that many attempts fall in the
// run), and prints the median and the longest poll in microseconds, in wall time and in the
// thread's CPU time (the longest wall time on a busy machine is mostly the thread waiting
// for a processor, which the CPU time leaves out):
//   refused     nothing listens on the port (every attempt is refused);
//   silent      a program listens but never accepts or answers (the greeting never comes);
//   unroutable  an address that never answers (the connection stays pending, then times out);
//   slow        an editor that greets and then sends a key a poll, a byte at a time.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "sync/Sync.h"

namespace {

int listenOnLoopback(uint16_t* port) {
  const int listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(listener, reinterpret_cast<sockaddr*>(&address), length);
  listen(listener, 4);
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  *port = ntohs(address.sin_port);
  return listener;
}

void run(const char* name, const std::string& host, uint16_t port, int polls, int editorListener) {
  SyncTrackSet tracks;
  for (int i = 0; i < 16; ++i) tracks.add("bench:track" + std::to_string(i));
  SyncClient client(&tracks);
  client.retrySeconds = 0.05;
  client.answerSeconds = 1.0;
  int messages = 0;
  client.onMessage = [&](const std::string&) { ++messages; };
  if (client.start(host, port)) {
    std::printf("%-11s could not resolve %s\n", name, host.c_str());
    return;
  }
  int editor = -1;
  std::string slowBytes;
  size_t slowAt = 0;
  std::vector<double> micros, cpuMicros;
  micros.reserve(static_cast<size_t>(polls));
  cpuMicros.reserve(static_cast<size_t>(polls));
  for (int i = 0; i < polls; ++i) {
    const auto begun = std::chrono::steady_clock::now();
    const double cpuBegun = threadCpuSeconds();
    client.poll(i / 60.0, i / 10.0, true);
    cpuMicros.push_back((threadCpuSeconds() - cpuBegun) * 1e6);
    micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - begun).count());
    if (editorListener < 0) continue;
    if (editor < 0) {
      editor = accept4(editorListener, nullptr, nullptr, SOCK_NONBLOCK);
      if (editor >= 0) send(editor, "hello, demo!", 12, MSG_NOSIGNAL);
      continue;
    }
    char sink[4096];
    while (recv(editor, sink, sizeof sink, 0) > 0) {
    }
    if (slowAt == slowBytes.size()) {  // the next SET_KEY: track i % 16, row i, value i
      const uint32_t track = htonl(static_cast<uint32_t>(i % 16)), row = htonl(static_cast<uint32_t>(i));
      float value = static_cast<float>(i);
      uint32_t bits;
      std::memcpy(&bits, &value, 4);
      bits = htonl(bits);
      slowBytes.assign(1, '\0');
      slowBytes.append(reinterpret_cast<const char*>(&track), 4).append(reinterpret_cast<const char*>(&row), 4);
      slowBytes.append(reinterpret_cast<const char*>(&bits), 4).append(1, '\1');
      slowAt = 0;
    }
    send(editor, slowBytes.data() + slowAt++, 1, MSG_NOSIGNAL);
  }
  double longest = 0.0, longestCpu = 0.0;
  for (const double m : micros) longest = std::max(longest, m);
  for (const double m : cpuMicros) longestCpu = std::max(longestCpu, m);
  size_t keys = 0;
  for (const SyncTrack& track : tracks.tracks) keys += track.keys.size();
  std::printf(
      "%-11s polls %d  wall: median %.2f us, longest %.1f us  thread CPU: longest %.1f us  links %d  messages %d"
      "  keys %zu\n",
      name, polls, median(micros), longest, longestCpu, client.connections(), messages, keys);
  if (editor >= 0) close(editor);
}

}  // namespace

int main(int argc, char** argv) {
  int polls = 20000;
  for (int i = 1; i + 1 < argc; ++i)
    if (!std::strcmp(argv[i], "--polls")) polls = std::atoi(argv[++i]);

  uint16_t port = 0;
  int closed = listenOnLoopback(&port);
  close(closed);  // nothing listens there now
  run("refused", "127.0.0.1", port, polls, -1);

  const int silent = listenOnLoopback(&port);  // the kernel takes the connection; no one answers
  run("silent", "127.0.0.1", port, polls, -1);
  close(silent);

  run("unroutable", "10.255.255.1", 1338, polls, -1);

  const int slow = listenOnLoopback(&port);
  run("slow", "127.0.0.1", port, polls, slow);
  close(slow);
  return 0;
}

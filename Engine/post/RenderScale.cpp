#include "post/RenderScale.h"

#include <algorithm>
#include <cmath>

namespace {
// Frames over this are hitches (loading, a dragged window, a debugger), not the drawing.
constexpr double kHitchMilliseconds = 1000.0;
// Over the target above this ratio, there is room under it below kRoomRatio; the scale
// aims at kAimRatio of the target, which leaves the slower frames of a window under it.
constexpr double kOverRatio = 1.03, kRoomRatio = 0.8, kAimRatio = 0.9;
// Far over the target (a heavy stretch starting) the scale may fall four steps at once.
constexpr double kFarOverRatio = 1.3;
constexpr double kLongestProbeWait = 8000.0;
}  // namespace

float snapRenderScale(float scale) {
  if (!(scale == scale)) return kRenderScaleMax;  // NaN
  const float snapped = std::round(scale / kRenderScaleStep) * kRenderScaleStep;
  return std::clamp(snapped, kRenderScaleMin, kRenderScaleMax);
}

RenderTargetSizes renderTargetSizes(int w, int h, float scale) {
  const auto scaled = [scale](int size) {
    const long n = scale >= 1.0f ? size : std::lround(static_cast<double>(size) * static_cast<double>(scale));
    return static_cast<uint32_t>(std::max(n, 1L));
  };
  RenderTargetSizes sizes;
  sizes.sceneWidth = scaled(w);
  sizes.sceneHeight = scaled(h);
  sizes.bloomWidth = std::max(sizes.sceneWidth >> 2, 1u);
  sizes.bloomHeight = std::max(sizes.sceneHeight >> 2, 1u);
  return sizes;
}

RenderScaleController::RenderScaleController(double targetFps, float floor, float ceiling)
    : target(1000.0 / std::max(targetFps, 1.0)),
      low(snapRenderScale(std::min(floor, ceiling))),
      high(snapRenderScale(std::max(floor, ceiling))),
      current(high),
      lowest(high),
      highest(high) {}

float RenderScaleController::addFrame(double milliseconds) {
  if (!(milliseconds >= 0.0) || milliseconds > kHitchMilliseconds) return current;
  window[windowCount++] = milliseconds;
  windowSum += milliseconds;
  if (windowCount == kWindowFrames || (windowSum >= kWindowMilliseconds && windowCount >= 3)) {
    std::sort(window, window + windowCount);
    const double median =
        windowCount % 2 ? window[windowCount / 2] : 0.5 * (window[windowCount / 2 - 1] + window[windowCount / 2]);
    judge(median);
    windowCount = 0;
    windowSum = 0.0;
  }
  return current;
}

void RenderScaleController::judge(double median) {
  const double spent = windowSum;
  // What the pixels cost goes with the scale squared: the scale that would land on the aim.
  const float wanted = current * static_cast<float>(std::sqrt(kAimRatio * target / std::max(median, 1e-3)));
  if (median > kOverRatio * target) {
    steadyMilliseconds = 0.0;
    if (probing) {
      // The probe step ran over: back down, and wait longer before the next one.
      probing = false;
      probeWait = std::min(probeWait * 2.0, kLongestProbeWait);
      moveTo(current - kRenderScaleStep);
      return;
    }
    const float most = (median > kFarOverRatio * target ? 4.0f : 2.0f) * kRenderScaleStep;
    moveTo(current - std::clamp(current - wanted, kRenderScaleStep, most));
  } else if (median < kRoomRatio * target) {
    steadyMilliseconds = 0.0;
    probing = false;
    probeWait = 1000.0;
    moveTo(current + kRenderScaleStep);
  } else {
    // On target: vertical sync may hide the room there is; after a while, try one step.
    probing = false;
    steadyMilliseconds += spent;
    if (steadyMilliseconds >= probeWait && current < high) {
      steadyMilliseconds = 0.0;
      probing = true;
      moveTo(current + kRenderScaleStep);
    }
  }
}

void RenderScaleController::moveTo(float scale) {
  const float next = std::clamp(snapRenderScale(scale), low, high);
  if (next == current) return;
  current = next;
  ++changeCount;
  lowest = std::min(lowest, current);
  highest = std::max(highest, current);
}

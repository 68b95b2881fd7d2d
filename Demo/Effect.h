// Effect: one demo part on the timeline. init() loads its resources (0 on success) and
// draw() renders it at a local time in seconds since the part's start.
#pragma once

class Effect {
 public:
  virtual ~Effect() = default;
  virtual int init() = 0;
  virtual void draw(float localTime) = 0;
};

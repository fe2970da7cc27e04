#pragma once
// The command line's controls, and the rules that make them give what the
// window gives with the same values: the threshold primed from the photo
// after an open, and when measuring may stop early.

#include "prosvitek/imaging/brighten.h"

#include <optional>

namespace imaging {

// The command line's options: the window's controls after an open, with the
// threshold primed from the photo unless one was typed.
struct CommandControls {
  int strength = kDefaultStrength;
  std::optional<int> threshold;
  int colourBoost = kDefaultColourBoost;
  bool shiftMode = false;
};

// The threshold control's value after an open of a photo with these
// extremes: primed, or a typed value clamped as the control clamps it when
// the focus leaves it.
int ThresholdAfterOpen(std::optional<int> typed, int darkest, int brightest);

// Whether the settings can no longer change once the darkest and brightest
// luminance seen so far are these: the rest of the photo can only lower the
// one and raise the other, and luminance stays within 0..255.
bool SettingsSettled(const CommandControls& controls, int darkestSoFar, int brightestSoFar);

}  // namespace imaging

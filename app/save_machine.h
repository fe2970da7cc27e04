#pragma once
// The save of one photo as a small state machine, apart from the jobs that
// do its work:
//
//   Idle --Begin--> Rendering --Rendered--> Waiting --Write--> Writing --Written--> Idle
//                                           |  ^
//                                     Encode|  |Encoded (a write asked for meanwhile starts then)
//                                           v  |
//                                         (encoding)
//
// Waiting holds the full-resolution result while the save dialog asks for
// a name; it may be encoded again at another quality meanwhile. A failure
// or a discard goes back to Idle, but never once a write was asked for: a
// write runs to its end, so nothing can change what it writes.

#include "photo_jobs.h"

#include <optional>
#include <string>

class SaveMachine {
 public:
  enum class Step { Idle, Rendering, Waiting, Writing };

  Step step() const { return step_; }
  bool encoding() const { return encoding_; }
  // Whether a write was asked for (waiting for the encoding, or running).
  bool writing() const { return step_ == Step::Writing || queued_.has_value(); }
  const RenderedPhoto& rendered() const { return rendered_; }
  const std::string& warning() const { return warning_; }

  // Each transition gives false, changing nothing, when the save is not at
  // a step that allows it.
  bool Begin();
  bool Rendered(RenderedPhoto rendered, std::string warning);
  // Whether an encoding at `quality` is worth starting now.
  bool Encode(int quality);
  // The encoded result; gives the write asked for meanwhile, if any, now at Writing.
  std::optional<WriteOrder> Encoded(RenderedPhoto rendered);
  // A failed encoding changes nothing held; the write goes on from the steps.
  std::optional<WriteOrder> EncodeFailed();
  // The write to start now (the save is then Writing), or nothing when it
  // waits for the encoding (or the save is not Waiting).
  std::optional<WriteOrder> Write(WriteOrder order);
  bool Written();
  // Back to Idle from anything but a write asked for.
  bool Drop();

 private:
  WriteOrder Order(WriteOrder order) const;

  Step step_ = Step::Idle;
  bool encoding_ = false;
  RenderedPhoto rendered_;
  std::string warning_;
  std::optional<WriteOrder> queued_;
};

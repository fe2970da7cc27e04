#include "save_machine.h"

bool SaveMachine::Begin() {
  if (step_ != Step::Idle) return false;
  step_ = Step::Rendering;
  return true;
}

bool SaveMachine::Rendered(RenderedPhoto rendered, std::string warning) {
  if (step_ != Step::Rendering) return false;
  rendered_ = std::move(rendered);
  warning_ = std::move(warning);
  step_ = Step::Waiting;
  return true;
}

bool SaveMachine::Encode(int quality) {
  if (step_ != Step::Waiting || encoding_ || queued_ || quality == rendered_.quality) return false;
  encoding_ = true;
  return true;
}

std::optional<WriteOrder> SaveMachine::Encoded(RenderedPhoto rendered) {
  if (step_ != Step::Waiting || !encoding_) return std::nullopt;
  rendered_ = std::move(rendered);
  return EncodeFailed();
}

std::optional<WriteOrder> SaveMachine::EncodeFailed() {
  if (step_ != Step::Waiting || !encoding_) return std::nullopt;
  encoding_ = false;
  if (!queued_) return std::nullopt;
  WriteOrder order = std::move(*queued_);
  queued_.reset();
  step_ = Step::Writing;
  return Order(std::move(order));
}

std::optional<WriteOrder> SaveMachine::Write(WriteOrder order) {
  if (step_ != Step::Waiting || queued_) return std::nullopt;
  if (encoding_) {
    queued_ = std::move(order);
    return std::nullopt;
  }
  step_ = Step::Writing;
  return Order(std::move(order));
}

bool SaveMachine::Written() {
  if (step_ != Step::Writing) return false;
  *this = SaveMachine();
  return true;
}

bool SaveMachine::Drop() {
  if (writing()) return false;
  *this = SaveMachine();
  return true;
}

// The write takes the result as it is held now: a copy of the handle to the
// encoded bytes and of the steps, so nothing the session does meanwhile reaches it.
WriteOrder SaveMachine::Order(WriteOrder order) const {
  order.rendered = rendered_;
  return order;
}

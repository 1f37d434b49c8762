// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/term/repeat_filter.h"

namespace orvane::term {

void RepeatFilter::push(const TypedKey& key, std::vector<int>& presses) {
  expire(key.at, presses);
  const bool sameKey = last_ && last_->key == key.key;
  if (sameKey && gap_.count() > 0 && key.at - last_->at < gap_) {
    // A repeat; a key held back turns out to have been the first one.
    heldBack_ = false;
    last_ = key;
    return;
  }
  if (heldBack_) {
    // Another key came first: the one held back was pressed anew.
    presses.push_back(last_->key);
    heldBack_ = false;
  }
  if (sameKey && gap_.count() > 0) {
    heldBack_ = true;
  } else {
    presses.push_back(key.key);
  }
  last_ = key;
}

void RepeatFilter::expire(KeyClock::time_point now, std::vector<int>& presses) {
  if (!heldBack_ || now - last_->at < gap_) return;
  presses.push_back(last_->key);
  heldBack_ = false;
}

std::optional<KeyClock::time_point> RepeatFilter::deadline() const {
  if (!heldBack_) return std::nullopt;
  return last_->at + gap_;
}

}  // namespace orvane::term

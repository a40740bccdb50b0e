#include "ui/controls/envelope_editor.h"

#include <algorithm>

namespace {

std::vector<EnvelopePoint> DefaultShape(LONG levelTop, LONG timeEnd) {
  return {{0, levelTop}, {timeEnd, 0}};
}

}  // namespace

NxEnvelopeEditor::NxEnvelopeEditor() : points_(DefaultShape(100, 1000)) {}

void NxEnvelopeEditor::SetMaxPoints(LONG count) {
  maxPoints_ = std::clamp(count, kMinPoints, kMaxPoints);
}

void NxEnvelopeEditor::SetPoints(const EnvelopePoint* points, LONG count) {
  std::vector<EnvelopePoint> kept;
  count = points == nullptr ? 0 : std::clamp<LONG>(count, 0, maxPoints_);
  for (LONG i = 0; i < count; ++i) {
    EnvelopePoint p = {std::clamp<LONG>(points[i].position, 0, timeEnd_),
                       std::clamp<LONG>(points[i].level, 0, levelTop_)};
    // A point not later than the one before it cannot be drawn as a function of time.
    if (!kept.empty() && p.position <= kept.back().position) continue;
    kept.push_back(p);
  }
  if (kept.size() < 2) {
    points_ = DefaultShape(levelTop_, timeEnd_);
    return;
  }
  kept.front().position = 0;
  kept.back().position = timeEnd_;
  points_ = kept;
}

void NxEnvelopeEditor::SetMarker(LONG position) {
  marker_ = std::clamp<LONG>(position, 0, timeEnd_);
}

void NxEnvelopeEditor::SetBackground(const NxWaveform* waveform) {
  hasBackground_ = waveform != nullptr;
  background_ = waveform != nullptr ? *waveform : NxWaveform();
}

LONG NxEnvelopeEditor::GetPoints(EnvelopePoint* points, LONG capacity) const {
  const LONG n = std::min<LONG>(PointCount(), std::max<LONG>(capacity, 0));
  std::copy(points_.begin(), points_.begin() + n, points);
  return n;
}

void NxEnvelopeEditor::Report() {
  if (receiver_ != nullptr) receiver_->OnEnvelopePointsChanged();
}

bool NxEnvelopeEditor::AddPoint(LONG time, LONG level) {
  if (!enabled_ || PointCount() >= maxPoints_ || time <= 0 || time >= timeEnd_) return false;
  auto at = std::lower_bound(points_.begin(), points_.end(), time,
                             [](const EnvelopePoint& p, LONG t) { return p.position < t; });
  if (at->position == time) return false;
  points_.insert(at, {time, std::clamp<LONG>(level, 0, levelTop_)});
  Report();
  return true;
}

bool NxEnvelopeEditor::MovePoint(LONG index, LONG time, LONG level) {
  if (!enabled_ || index < 0 || index >= PointCount()) return false;
  EnvelopePoint& p = points_[index];
  const EnvelopePoint before = p;
  if (index > 0 && index + 1 < PointCount()) {
    p.position =
        std::clamp<LONG>(time, points_[index - 1].position + 1, points_[index + 1].position - 1);
  }
  p.level = std::clamp<LONG>(level, 0, levelTop_);
  if (p.position == before.position && p.level == before.level) return false;
  Report();
  return true;
}

bool NxEnvelopeEditor::DeletePoint(LONG index) {
  if (!enabled_ || index <= 0 || index + 1 >= PointCount() || PointCount() <= kMinPoints) {
    return false;
  }
  points_.erase(points_.begin() + index);
  Report();
  return true;
}

bool NxEnvelopeEditor::Reset() {
  points_ = DefaultShape(levelTop_, timeEnd_);
  if (receiver_ != nullptr) receiver_->OnEnvelopePointsReset();
  return true;
}

bool NxEnvelopeEditor::MoveMarker(LONG position) {
  if (!enabled_ || !markerShown_) return false;
  marker_ = std::clamp<LONG>(position, 0, timeEnd_);
  if (receiver_ != nullptr) receiver_->OnEnvelopeMarkerMoved(marker_);
  return true;
}

void NxEnvelopeEditor::Hover(LONG time, LONG level) {
  if (receiver_ != nullptr) {
    receiver_->OnEnvelopePointer(std::clamp<LONG>(time, 0, timeEnd_),
                                 std::clamp<LONG>(level, 0, levelTop_));
  }
}

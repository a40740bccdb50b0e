// The envelope editor's model: the points the user draws over the impulse's waveform and the
// decay marker, on a time axis of 0..1000 (thousandths of the impulse length) and a level axis
// of 0..100 (percent of linear gain).
//
// The page sets everything through the setters, which report nothing; the user's actions
// (the methods under "User") change the model and report to the receiver the page gave. The
// model always holds 2 to 16 points, the first at time 0 and the last at the end of the time
// axis, each strictly later than the one before.
#pragma once

#include <vector>

#include "frame/plugin_params.h"
#include "platform/types.h"
#include "ui/controls/waveform.h"

// What the editor tells the page.
class NxEnvelopeReceiver {
 public:
  virtual void OnEnvelopePointsChanged() = 0;
  virtual void OnEnvelopePointer(LONG time, LONG level) = 0;
  virtual void OnEnvelopeMarkerMoved(LONG position) = 0;
  virtual void OnEnvelopePointsReset() = 0;

 protected:
  ~NxEnvelopeReceiver() = default;
};

class NxEnvelopeEditor {
 public:
  static constexpr LONG kMinPoints = 2;
  static constexpr LONG kMaxPoints = 16;

  NxEnvelopeEditor();

  // ---- Set by the page (no reports) ----
  void SetLevelRange(LONG top) { levelTop_ = top > 0 ? top : 100; }
  void SetTimeRange(LONG end) { timeEnd_ = end > 1 ? end : 1000; }
  void SetMaxPoints(LONG count);
  void ShowMarker(bool shown) { markerShown_ = shown; }
  void SetReceiver(NxEnvelopeReceiver* receiver) { receiver_ = receiver; }
  void Enable(bool enabled) { enabled_ = enabled; }
  // Takes the points as the editor's own: levels into the level range, times into the axis
  // and made strictly increasing from 0 to the end; fewer than two usable points give the
  // default shape.
  void SetPoints(const EnvelopePoint* points, LONG count);
  void SetMarker(LONG position);
  // The waveform drawn behind the points, or none.
  void SetBackground(const NxWaveform* waveform);

  // ---- Read by the page and the view ----
  LONG PointCount() const { return static_cast<LONG>(points_.size()); }
  // Copies at most `capacity` points; returns the number copied.
  LONG GetPoints(EnvelopePoint* points, LONG capacity) const;
  const std::vector<EnvelopePoint>& Points() const { return points_; }
  LONG Marker() const { return marker_; }
  bool MarkerShown() const { return markerShown_; }
  bool Enabled() const { return enabled_; }
  bool HasBackground() const { return hasBackground_; }
  const NxWaveform& Background() const { return background_; }
  LONG TimeEnd() const { return timeEnd_; }
  LONG LevelTop() const { return levelTop_; }

  // ---- User ----  (ignored while disabled; each returns whether anything changed)
  // Inserts a point between its neighbours in time; refused at the point limit or on the time
  // of an existing point.
  bool AddPoint(LONG time, LONG level);
  // Moves a point: its time stays strictly between its neighbours' (the first and last points
  // keep theirs), its level within the range.
  bool MovePoint(LONG index, LONG time, LONG level);
  // Deletes an inner point while more than two remain.
  bool DeletePoint(LONG index);
  // Back to the default shape: full level at the start, silence at the end.
  bool Reset();
  bool MoveMarker(LONG position);
  void Hover(LONG time, LONG level);

 private:
  void Report();
  std::vector<EnvelopePoint> points_;
  LONG levelTop_ = 100;
  LONG timeEnd_ = 1000;
  LONG maxPoints_ = kMaxPoints;
  LONG marker_ = 0;
  bool markerShown_ = false;
  bool enabled_ = true;
  bool hasBackground_ = false;
  NxWaveform background_;
  NxEnvelopeReceiver* receiver_ = nullptr;
};

// The result images of the recognisers: nine slots (0 = mark result, 1..8 the
// vision slots, one per head) with a ready flag each and one event that wakes
// the camera panel's result display.
#pragma once

#include <array>
#include <mutex>

#include <opencv2/core.hpp>

#include "platform/event.h"

namespace smt {

constexpr int kVisionResultSlotCount = 9;
constexpr int kMarkResultSlot = 0;

// Where a recogniser leaves its annotated image.
class VisionResultSink {
public:
    virtual ~VisionResultSink() = default;
    // Takes the image over; a slot outside 0..8 is ignored.
    virtual void Publish(int slot, cv::Mat image) = 0;
};

class VisionResultSlots final : public VisionResultSink {
public:
    VisionResultSlots();
    // Sets the slot's ready flag, replaces its image, then sets the event.
    void Publish(int slot, cv::Mat image) override;
    // The display side: a ready slot's image, clearing its flag; false when not ready.
    bool TakeReady(int slot, cv::Mat& image);
    bool IsReady(int slot) const;
    // The slot's last image whether or not it was shown (the extended display).
    cv::Mat Latest(int slot) const;
    // Auto-reset, set after every publication.
    plat::Event& ResultEvent() { return m_event; }
    void Clear();

private:
    mutable std::mutex m_mutex;
    std::array<cv::Mat, kVisionResultSlotCount> m_images;
    std::array<bool, kVisionResultSlotCount> m_ready{};
    plat::Event m_event;
};

// The process-wide slots the camera panel displays; the recognisers publish here
// unless they are given another sink.
VisionResultSlots& VisionResults();

} // namespace smt

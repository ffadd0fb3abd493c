#include "vision/result_slots.h"

#include <utility>

namespace smt {
namespace {
bool ValidSlot(int slot) { return slot >= 0 && slot < kVisionResultSlotCount; }
} // namespace

VisionResultSlots::VisionResultSlots() : m_event(false, false) {}

void VisionResultSlots::Publish(int slot, cv::Mat image)
{
    if (!ValidSlot(slot)) return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ready[static_cast<std::size_t>(slot)] = true;
        m_images[static_cast<std::size_t>(slot)] = std::move(image);
    }
    m_event.Set();
}

bool VisionResultSlots::TakeReady(int slot, cv::Mat& image)
{
    if (!ValidSlot(slot)) return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto i = static_cast<std::size_t>(slot);
    if (!m_ready[i]) return false;
    m_ready[i] = false;
    image = m_images[i];
    return true;
}

bool VisionResultSlots::IsReady(int slot) const
{
    if (!ValidSlot(slot)) return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_ready[static_cast<std::size_t>(slot)];
}

cv::Mat VisionResultSlots::Latest(int slot) const
{
    if (!ValidSlot(slot)) return {};
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_images[static_cast<std::size_t>(slot)];
}

void VisionResultSlots::Clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto& image : m_images) image.release();
    m_ready.fill(false);
    m_event.Reset();
}

VisionResultSlots& VisionResults()
{
    static VisionResultSlots slots;
    return slots;
}

} // namespace smt

#include "platform/camera_sdk.h"

#include "platform/camera_channel.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

namespace plat {
namespace {

struct CrossLine {
    int x = 0, y = 0;
    unsigned colour = 0;
    bool visible = false;
};

// One initialised device. The device itself is thread-safe; the handle's own
// fields are behind its mutex, so a grab thread and the user interface can share it.
struct Handle {
    std::shared_ptr<CameraDevice> device;
    CameraDeviceDesc desc;
    std::mutex mutex;
    unsigned outFormat = kCameraMediaBgr8;
    std::uint64_t lastSeq = 0;
    std::map<const std::uint8_t*, CameraFramePtr> lent;  // raw buffers not yet released
    CrossLine lines[3];
    void* window = nullptr;
    int displayWidth = 0, displayHeight = 0;
    bool settingPage = false;
    int lastWidth = 0, lastHeight = 0;
};

struct Sdk {
    std::mutex mutex;
    std::shared_ptr<CameraBackend> backend;  // installed one, else the default
    std::map<CameraHandle, std::shared_ptr<Handle>> handles;
    CameraHandle next = 1;
    int language = 0;
    CameraDisplaySink display;
    CameraSettingPageHook page;
};
Sdk& sdk() {
    static Sdk* s = new Sdk;  // outlives static users
    return *s;
}

std::shared_ptr<Handle> Find(CameraHandle h) {
    std::lock_guard lock(sdk().mutex);
    const auto it = sdk().handles.find(h);
    return it == sdk().handles.end() ? nullptr : it->second;
}

std::shared_ptr<CameraBackend> Backend() {
    {
        std::lock_guard lock(sdk().mutex);
        if (sdk().backend) return sdk().backend;
    }
    return CameraChannelBackend();
}

// Hands out a frame as a raw buffer kept alive by the handle until it is released.
int Lend(Handle& h, const CameraFramePtr& f, CameraFrameHead* head, std::uint8_t** raw) {
    std::lock_guard lock(h.mutex);
    h.lent[f->pixels.data()] = f;
    h.lastSeq = std::max(h.lastSeq, f->seq);
    h.lastWidth = f->width;
    h.lastHeight = f->height;
    head->mediaType = f->channels == 1 ? kCameraMediaMono8 : kCameraMediaBgr8;
    head->width = f->width;
    head->height = f->height;
    head->bytes = static_cast<int>(f->pixels.size());
    head->frameNo = f->seq;
    head->isTrigger = f->triggered;
    head->exposedNs = f->exposedNs;
    *raw = const_cast<std::uint8_t*>(f->pixels.data());
    return kCameraOk;
}

int ChannelsOf(unsigned media) { return media == kCameraMediaMono8 ? 1 : 3; }

void PutPixel(std::uint8_t* p, int channels, unsigned colour) {
    if (channels == 1) {
        // Grey of the colour: the mean of its three bytes.
        p[0] = static_cast<std::uint8_t>(((colour & 0xFF) + ((colour >> 8) & 0xFF) + ((colour >> 16) & 0xFF)) / 3);
        return;
    }
    p[0] = static_cast<std::uint8_t>(colour >> 16);  // B
    p[1] = static_cast<std::uint8_t>(colour >> 8);   // G
    p[2] = static_cast<std::uint8_t>(colour);        // R
}

const char* const kErrorTexts[][2] = {
    // status, English, Chinese
    {"Success", "成功"},
    {"Failed", "操作失败"},
    {"Not supported", "不支持该功能"},
    {"Invalid parameter", "参数无效"},
    {"Invalid handle", "句柄无效"},
    {"No device found", "没有找到设备"},
    {"The device is in use", "设备已被占用"},
    {"Time out", "超时"},
    {"The device is disconnected", "设备已断开"},
    {"Not initialised", "未初始化"},
    {"Unknown error", "未知错误"},
};
int TextRow(int status) {
    switch (status) {
        case kCameraOk: return 0;
        case kCameraFailed: return 1;
        case kCameraNotSupported: return 2;
        case kCameraBadParameter: return 3;
        case kCameraBadHandle: return 4;
        case kCameraNoDevice: return 5;
        case kCameraDeviceBusy: return 6;
        case kCameraTimeout: return 7;
        case kCameraDisconnected: return 8;
        case kCameraNotInitialised: return 9;
        default: return 10;
    }
}

} // namespace

void SetCameraBackend(std::shared_ptr<CameraBackend> backend) {
    std::lock_guard lock(sdk().mutex);
    sdk().backend = std::move(backend);
}

std::shared_ptr<CameraBackend> CurrentCameraBackend() { return Backend(); }

int CameraSdkInit(int language) {
    std::lock_guard lock(sdk().mutex);
    sdk().language = language;
    return kCameraOk;
}

const char* CameraGetErrorString(int status) {
    int lang;
    {
        std::lock_guard lock(sdk().mutex);
        lang = sdk().language == 1 ? 1 : 0;
    }
    return kErrorTexts[TextRow(status)][lang];
}

int CameraEnumerateDevice(CameraDevInfo* list, int* count) {
    if (!list || !count || *count <= 0) return kCameraBadParameter;
    auto backend = Backend();
    if (!backend) return kCameraNoDevice;
    std::vector<CameraDeviceDesc> found;
    const int status = backend->Enumerate(&found);
    if (status != kCameraOk) return status;
    if (found.empty()) return kCameraNoDevice;
    const int n = std::min<int>(*count, static_cast<int>(found.size()));
    for (int i = 0; i < n; ++i) {
        list[i] = CameraDevInfo{};
        std::snprintf(list[i].friendlyName, kCameraNameSize, "%s", found[i].friendlyName.c_str());
        std::snprintf(list[i].productName, kCameraNameSize, "%s", found[i].productName.c_str());
        list[i].index = i;
    }
    *count = n;
    return kCameraOk;
}

int CameraInit(const CameraDevInfo* info, int, int, CameraHandle* handle) {
    if (!info || !handle || info->index < 0) return kCameraBadParameter;
    auto backend = Backend();
    if (!backend) return kCameraNoDevice;
    std::vector<CameraDeviceDesc> found;
    int status = backend->Enumerate(&found);
    if (status != kCameraOk) return status;
    if (info->index >= static_cast<int>(found.size())) return kCameraNoDevice;
    auto h = std::make_shared<Handle>();
    status = backend->Open(info->index, &h->device);
    if (status != kCameraOk) return status;
    if (!h->device) return kCameraFailed;
    h->desc = found[static_cast<std::size_t>(info->index)];
    h->outFormat = h->desc.mono ? kCameraMediaMono8 : kCameraMediaBgr8;
    std::lock_guard lock(sdk().mutex);
    *handle = sdk().next++;
    sdk().handles[*handle] = std::move(h);
    return kCameraOk;
}

int CameraGetCapability(CameraHandle handle, CameraCapability* capability) {
    auto h = Find(handle);
    if (!h) return kCameraBadHandle;
    if (!capability) return kCameraBadParameter;
    capability->maxWidth = h->desc.maxWidth;
    capability->maxHeight = h->desc.maxHeight;
    capability->mono = h->desc.mono;
    return kCameraOk;
}

int CameraGetFriendlyName(CameraHandle handle, char name[kCameraNameSize]) {
    auto h = Find(handle);
    if (!h) return kCameraBadHandle;
    if (!name) return kCameraBadParameter;
    std::snprintf(name, kCameraNameSize, "%s", h->desc.friendlyName.c_str());
    return kCameraOk;
}

std::uint8_t* CameraAlignMalloc(int bytes, int alignment) {
    if (bytes <= 0 || alignment <= 0 || (alignment & (alignment - 1))) return nullptr;
    const std::size_t a = static_cast<std::size_t>(std::max(alignment, static_cast<int>(sizeof(void*))));
    const std::size_t size = (static_cast<std::size_t>(bytes) + a - 1) / a * a;
    return static_cast<std::uint8_t*>(std::aligned_alloc(a, size));
}

void CameraAlignFree(std::uint8_t* buffer) { std::free(buffer); }

int CameraSetIspOutFormat(CameraHandle handle, unsigned mediaType) {
    auto h = Find(handle);
    if (!h) return kCameraBadHandle;
    std::lock_guard lock(h->mutex);
    h->outFormat = mediaType == kCameraMediaMono8 ? kCameraMediaMono8 : kCameraMediaBgr8;
    return kCameraOk;
}

int CameraDisplayInit(CameraHandle handle, void* window) {
    auto h = Find(handle);
    if (!h) return kCameraBadHandle;
    std::lock_guard lock(h->mutex);
    h->window = window;
    return kCameraOk;
}

int CameraSetDisplaySize(CameraHandle handle, int width, int height) {
    auto h = Find(handle);
    if (!h) return kCameraBadHandle;
    if (width < 0 || height < 0) return kCameraBadParameter;
    std::lock_guard lock(h->mutex);
    h->displayWidth = width;
    h->displayHeight = height;
    return kCameraOk;
}

int CameraSetTriggerMode(CameraHandle handle, int mode) {
    auto h = Find(handle);
    if (!h) return kCameraBadHandle;
    if (mode < 0 || mode > 2) return kCameraBadParameter;
    return h->device->SetTriggerMode(mode);
}

int CameraCreateSettingPageEx(CameraHandle handle) {
    auto h = Find(handle);
    if (!h) return kCameraBadHandle;
    std::lock_guard lock(h->mutex);
    h->settingPage = true;
    return kCameraOk;
}

int CameraShowSettingPage(CameraHandle handle, int show) {
    auto h = Find(handle);
    if (!h) return kCameraBadHandle;
    CameraSettingPageInfo info;
    {
        std::lock_guard lock(h->mutex);
        if (!h->settingPage) return kCameraNotInitialised;
        info.width = h->lastWidth ? h->lastWidth : h->desc.maxWidth;
        info.height = h->lastHeight ? h->lastHeight : h->desc.maxHeight;
    }
    if (!show) return kCameraOk;
    info.handle = handle;
    info.friendlyName = h->desc.friendlyName;
    h->device->Statistic(&info.statistic);
    CameraSettingPageHook hook;
    {
        std::lock_guard lock(sdk().mutex);
        hook = sdk().page;
    }
    if (!hook) return kCameraNotSupported;
    hook(info);
    return kCameraOk;
}

int CameraPlay(CameraHandle handle) {
    auto h = Find(handle);
    return h ? h->device->Play() : kCameraBadHandle;
}

int CameraPause(CameraHandle handle) {
    auto h = Find(handle);
    return h ? h->device->Pause() : kCameraBadHandle;
}

int CameraGetImageBufferPriority(CameraHandle handle, CameraFrameHead* head, std::uint8_t** raw, unsigned timeoutMs,
                                 unsigned) {
    auto h = Find(handle);
    if (!h) return kCameraBadHandle;
    if (!head || !raw) return kCameraBadParameter;
    std::uint64_t after;
    {
        std::lock_guard lock(h->mutex);
        after = h->lastSeq;
    }
    CameraFramePtr f;
    const int status = h->device->WaitFrame(after, std::chrono::milliseconds(timeoutMs), &f);
    if (status != kCameraOk) return status;
    if (!f) return kCameraFailed;
    return Lend(*h, f, head, raw);
}

int CameraSnapToBuffer(CameraHandle handle, CameraFrameHead* head, std::uint8_t** raw, unsigned timeoutMs) {
    auto h = Find(handle);
    if (!h) return kCameraBadHandle;
    if (!head || !raw) return kCameraBadParameter;
    CameraFramePtr f;
    const int status = h->device->Snap(std::chrono::milliseconds(timeoutMs), &f);
    if (status != kCameraOk) return status;
    if (!f) return kCameraFailed;
    return Lend(*h, f, head, raw);
}

int CameraReleaseImageBuffer(CameraHandle handle, std::uint8_t* raw) {
    auto h = Find(handle);
    if (!h) return kCameraBadHandle;
    std::lock_guard lock(h->mutex);
    return h->lent.erase(raw) ? kCameraOk : kCameraBadParameter;
}

int CameraImageProcess(CameraHandle handle, const std::uint8_t* raw, std::uint8_t* out, CameraFrameHead* head) {
    auto h = Find(handle);
    if (!h) return kCameraBadHandle;
    if (!raw || !out || !head || head->width <= 0 || head->height <= 0) return kCameraBadParameter;
    unsigned outFormat;
    {
        std::lock_guard lock(h->mutex);
        // Only a lent buffer is known to hold a whole frame of the head's size.
        const auto it = h->lent.find(raw);
        if (it == h->lent.end() || it->second->width != head->width || it->second->height != head->height)
            return kCameraBadParameter;
        outFormat = h->outFormat;
    }
    const int in = ChannelsOf(head->mediaType);
    const int outCh = ChannelsOf(outFormat);
    const std::size_t pixels = static_cast<std::size_t>(head->width) * static_cast<std::size_t>(head->height);
    if (in == outCh) {
        std::memcpy(out, raw, pixels * static_cast<std::size_t>(in));
    } else if (in == 3) {
        for (std::size_t i = 0; i < pixels; ++i) {
            const std::uint8_t* p = raw + 3 * i;
            out[i] = static_cast<std::uint8_t>((p[0] * 29 + p[1] * 150 + p[2] * 77 + 128) >> 8);
        }
    } else {
        for (std::size_t i = 0; i < pixels; ++i) out[3 * i] = out[3 * i + 1] = out[3 * i + 2] = raw[i];
    }
    head->mediaType = outFormat;
    head->bytes = static_cast<int>(pixels * static_cast<std::size_t>(outCh));
    return kCameraOk;
}

int CameraSetCrossLine(CameraHandle handle, int line, int x, int y, unsigned colour, int visible) {
    auto h = Find(handle);
    if (!h) return kCameraBadHandle;
    if (line < 0 || line > 2) return kCameraBadParameter;
    std::lock_guard lock(h->mutex);
    h->lines[line] = CrossLine{x, y, colour, visible != 0};
    return kCameraOk;
}

int CameraImageOverlay(CameraHandle handle, std::uint8_t* buffer, const CameraFrameHead* head) {
    auto h = Find(handle);
    if (!h) return kCameraBadHandle;
    if (!buffer || !head || head->width <= 0 || head->height <= 0) return kCameraBadParameter;
    CrossLine lines[3];
    {
        std::lock_guard lock(h->mutex);
        std::copy(std::begin(h->lines), std::end(h->lines), lines);
    }
    const int ch = ChannelsOf(head->mediaType);
    const int w = head->width, hgt = head->height;
    for (const auto& l : lines) {
        if (!l.visible) continue;
        if (l.y >= 0 && l.y < hgt)
            for (int x = 0; x < w; ++x) PutPixel(buffer + (static_cast<std::size_t>(l.y) * w + x) * ch, ch, l.colour);
        if (l.x >= 0 && l.x < w)
            for (int y = 0; y < hgt; ++y) PutPixel(buffer + (static_cast<std::size_t>(y) * w + l.x) * ch, ch, l.colour);
    }
    return kCameraOk;
}

int CameraDisplayRGB24(CameraHandle handle, const std::uint8_t* buffer, const CameraFrameHead* head) {
    auto h = Find(handle);
    if (!h) return kCameraBadHandle;
    if (!buffer || !head) return kCameraBadParameter;
    CameraDisplayFrame f;
    {
        std::lock_guard lock(h->mutex);
        f.window = h->window;
        f.displayWidth = h->displayWidth;
        f.displayHeight = h->displayHeight;
    }
    f.pixels = buffer;
    f.width = head->width;
    f.height = head->height;
    f.channels = ChannelsOf(head->mediaType);
    CameraDisplaySink sink;
    {
        std::lock_guard lock(sdk().mutex);
        sink = sdk().display;
    }
    if (!sink || !f.window) return kCameraNotInitialised;
    sink(f);
    return kCameraOk;
}

int CameraGetFrameStatistic(CameraHandle handle, CameraFrameStatistic* statistic) {
    auto h = Find(handle);
    if (!h) return kCameraBadHandle;
    if (!statistic) return kCameraBadParameter;
    return h->device->Statistic(statistic);
}

int CameraUnInit(CameraHandle handle) {
    std::shared_ptr<Handle> h;
    {
        std::lock_guard lock(sdk().mutex);
        const auto it = sdk().handles.find(handle);
        if (it == sdk().handles.end()) return kCameraBadHandle;
        h = std::move(it->second);
        sdk().handles.erase(it);
    }
    h->device->Pause();
    return kCameraOk;
}

void SetCameraDisplaySink(CameraDisplaySink sink) {
    std::lock_guard lock(sdk().mutex);
    sdk().display = std::move(sink);
}

void SetCameraSettingPageHook(CameraSettingPageHook hook) {
    std::lock_guard lock(sdk().mutex);
    sdk().page = std::move(hook);
}

} // namespace plat

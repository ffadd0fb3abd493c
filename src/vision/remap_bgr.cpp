#include "vision/remap_bgr.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include <opencv2/imgproc.hpp>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define SMT_REMAP_SSSE3 1
#endif

#if defined(__SANITIZE_THREAD__)
#define SMT_UNDER_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define SMT_UNDER_TSAN 1
#endif
#endif

namespace smt {

#ifdef SMT_REMAP_SSSE3
namespace {

// The fractions of the maps are 1/32 pixel in X and Y. The library's weights are
// (32 - fy)(32 - fx) x 32 and its kin over 32768, rounded to nearest: the same
// sums as weighting each row by (32 - fx, fx), then the two rows by (32 - fy, fy),
// over 1024, which fits the byte and word multiply-adds.
struct Fractions {
    alignas(16) std::uint8_t x[32][16];  // (32 - fx, fx) byte pairs
    alignas(16) std::int16_t y[32][8];   // (32 - fy, fy) word pairs
};

const Fractions& FractionTable() {
    static const Fractions table = [] {
        Fractions t{};
        for (int i = 0; i < 32; ++i)
            for (int j = 0; j < 8; ++j) {
                t.x[i][2 * j] = static_cast<std::uint8_t>(32 - i);
                t.x[i][2 * j + 1] = static_cast<std::uint8_t>(i);
                if (j < 4) {
                    t.y[i][2 * j] = static_cast<std::int16_t>(32 - i);
                    t.y[i][2 * j + 1] = static_cast<std::int16_t>(i);
                }
            }
        return t;
    }();
    return table;
}

// Passed by value: the kernel's stores go through byte pointers, which may alias
// anything, so fields read through a reference would be loaded again per pixel.
struct Source {
    const std::uint8_t* data;
    std::size_t step;
    int cols, rows;
    const Fractions* f;
};

// A pixel whose four neighbours are not all inside: each one outside counts as 0.
__attribute__((target("ssse3"))) __m128i AtBorder(Source s, int sx, int sy, unsigned fraction) {
    const int fx = static_cast<int>(fraction & 31), fy = static_cast<int>((fraction >> 5) & 31);
    const int weight[4] = {(32 - fx) * (32 - fy), fx * (32 - fy), (32 - fx) * fy, fx * fy};
    int sum[3] = {1 << 9, 1 << 9, 1 << 9};
    for (int k = 0; k < 4; ++k) {
        const int x = sx + (k & 1), y = sy + (k >> 1);
        if (x < 0 || x >= s.cols || y < 0 || y >= s.rows) continue;
        const std::uint8_t* p = s.data + static_cast<std::size_t>(y) * s.step + 3 * static_cast<std::size_t>(x);
        for (int c = 0; c < 3; ++c) sum[c] += p[c] * weight[k];
    }
    return _mm_setr_epi32(sum[0] >> 10, sum[1] >> 10, sum[2] >> 10, 0);
}

// A pixel whose neighbours (and the two bytes after the right-hand ones) lie inside:
// B, G, R and 0 as 32-bit values.
__attribute__((target("ssse3"), always_inline)) inline __m128i Inside(Source s, std::size_t offset,
                                                                     unsigned fraction) {
    // Top row's two pixels in bytes 0..5, the bottom row's in 8..13, taken as
    // (left, right) pairs: top B, bottom B, top G, bottom G, top R, bottom R.
    const __m128i order = _mm_setr_epi8(0, 3, 8, 11, 1, 4, 9, 12, 2, 5, 10, 13, -1, -1, -1, -1);
    const std::uint8_t* p = s.data + offset;
    const __m128i top = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
    const __m128i both =
        _mm_castpd_si128(_mm_loadh_pd(_mm_castsi128_pd(top), reinterpret_cast<const double*>(p + s.step)));
    const __m128i rows = _mm_maddubs_epi16(_mm_shuffle_epi8(both, order),
                                           _mm_load_si128(reinterpret_cast<const __m128i*>(s.f->x[fraction & 31])));
    const __m128i sum =
        _mm_madd_epi16(rows, _mm_load_si128(reinterpret_cast<const __m128i*>(s.f->y[(fraction >> 5) & 31])));
    return _mm_srai_epi32(_mm_add_epi32(sum, _mm_set1_epi32(1 << 9)), 10);
}

// The source pixels of a line of the map do not lie in order for the hardware's
// prefetcher (each output line bends through the source rows): fetch those of the
// map entry this far ahead, about one memory latency's worth of work.
constexpr int kAhead = 96;

// Outputs of at least this size (a core's second-level cache) are large: their
// source is fetched ahead and they are streamed. A smaller one's source is mostly
// in the cache already, where the extra fetches only cost time.
constexpr std::size_t kLargeBytes = std::size_t{1} << 20;

struct Rows {
    const std::int16_t* xy;
    const std::uint16_t* fr;
};

// Four output pixels from x on: their 12 bytes, then 4 zero bytes.
__attribute__((target("ssse3"), always_inline)) inline __m128i Group(Source s, Rows m, int x,
                                                                    __m128i limit, __m128i scale) {
    const int cols = s.cols, rows = s.rows;
    const __m128i compact = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    __m128i px[4];
    const __m128i at = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m.xy + 2 * x));
    const __m128i in = _mm_and_si128(_mm_cmpgt_epi16(at, _mm_set1_epi16(-1)), _mm_cmpgt_epi16(limit, at));
    const int mask = _mm_movemask_epi8(in);
    if (mask == 0xFFFF) {
        alignas(16) std::uint32_t offset[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(offset), _mm_madd_epi16(at, scale));
        for (int i = 0; i < 4; ++i) px[i] = Inside(s, offset[i], m.fr[x + i]);
    } else {
        for (int i = 0; i < 4; ++i) {
            const int sx = m.xy[2 * (x + i)], sy = m.xy[2 * (x + i) + 1];
            if (((mask >> (4 * i)) & 15) == 15)
                px[i] = Inside(s, static_cast<std::size_t>(sy) * s.step + 3 * static_cast<std::size_t>(sx),
                               m.fr[x + i]);
            else if (sx < -1 || sx >= cols || sy < -1 || sy >= rows)
                px[i] = _mm_setzero_si128();  // all four neighbours outside
            else
                px[i] = AtBorder(s, sx, sy, m.fr[x + i]);
        }
    }
    return _mm_shuffle_epi8(_mm_packus_epi16(_mm_packs_epi32(px[0], px[1]), _mm_packs_epi32(px[2], px[3])), compact);
}

__attribute__((target("ssse3"), always_inline)) inline void Prefetch(Source s, Rows m, int x) {
    const int ax = std::clamp<int>(m.xy[2 * x], 0, s.cols - 1);
    const int ay = std::clamp<int>(m.xy[2 * x + 1], 0, s.rows - 2);
    const char* a = reinterpret_cast<const char*>(s.data) + static_cast<std::size_t>(ay) * s.step + 3 * static_cast<std::size_t>(ax);
    _mm_prefetch(a, _MM_HINT_T0);
    _mm_prefetch(a + s.step, _MM_HINT_T0);
}

__attribute__((target("ssse3"))) void RemapRows(Source s, cv::Mat& dst, const cv::Mat& map1,
                                                const cv::Mat& map2, int firstRow, int endRow, bool large) {
    const int cols = s.cols, rows = s.rows;
    // Inside: 0 <= x < cols - 2 (the 8-byte loads stay in the row) and 0 <= y < rows - 1.
    const auto lx = static_cast<short>(cols - 2), ly = static_cast<short>(rows - 1);
    const __m128i limit = _mm_setr_epi16(lx, ly, lx, ly, lx, ly, lx, ly);
    const auto step = static_cast<short>(s.step);
    const __m128i scale = _mm_setr_epi16(3, step, 3, step, 3, step, 3, step);
    const int width = dst.cols;
    bool streamed = false;
    for (int y = firstRow; y < endRow; ++y) {
        const Rows m{map1.ptr<std::int16_t>(y), map2.ptr<std::uint16_t>(y)};
        std::uint8_t* d = dst.ptr<std::uint8_t>(y);
        int x = 0;
        // Sixteen pixels are 48 bytes: where the row lies on 16-byte boundaries they go
        // straight to memory, past the caches (a frame larger than the cache is
        // written once and read after the whole remap, so reading its old lines in
        // first is wasted).
        if (large && (reinterpret_cast<std::uintptr_t>(d) & 15) == 0) {
            streamed = true;
            for (; x + 16 <= width; x += 16) {
                if (x + kAhead < width) Prefetch(s, m, x + kAhead);
                if (x + kAhead + 8 < width) Prefetch(s, m, x + kAhead + 8);
                const __m128i g0 = Group(s, m, x, limit, scale), g1 = Group(s, m, x + 4, limit, scale);
                const __m128i g2 = Group(s, m, x + 8, limit, scale), g3 = Group(s, m, x + 12, limit, scale);
                __m128i* out = reinterpret_cast<__m128i*>(d + 3 * x);
                _mm_stream_si128(out, _mm_or_si128(g0, _mm_slli_si128(g1, 12)));
                _mm_stream_si128(out + 1, _mm_or_si128(_mm_srli_si128(g1, 4), _mm_slli_si128(g2, 8)));
                _mm_stream_si128(out + 2, _mm_or_si128(_mm_srli_si128(g2, 8), _mm_slli_si128(g3, 4)));
            }
        }
        for (; x + 4 <= width; x += 4) {
            if (large && (x & 7) == 0 && x + kAhead < width) Prefetch(s, m, x + kAhead);
            alignas(16) std::uint8_t bytes[16];
            _mm_store_si128(reinterpret_cast<__m128i*>(bytes), Group(s, m, x, limit, scale));
            std::memcpy(d + 3 * x, bytes, 12);
        }
        for (; x < width; ++x) {
            alignas(16) std::int32_t v[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(v), AtBorder(s, m.xy[2 * x], m.xy[2 * x + 1], m.fr[x]));
            for (int c = 0; c < 3; ++c) d[3 * x + c] = static_cast<std::uint8_t>(std::clamp(v[c], 0, 255));
        }
    }
    // Streamed stores are ordered with later reads of other threads only after this.
    if (streamed) _mm_sfence();
}

bool Ssse3() {
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}

} // namespace
#endif

void RemapBilinear(const cv::Mat& src, cv::Mat& dst, const cv::Mat& map1, const cv::Mat& map2) {
#ifdef SMT_REMAP_SSSE3
    // The vector offsets take the row step as a 16-bit factor; the kernel needs a
    // 3 x 2 frame at least; dst must not be the source.
    if (src.type() == CV_8UC3 && map1.type() == CV_16SC2 && map2.type() == CV_16UC1 && map1.size() == map2.size() &&
        src.step <= 32767 && src.cols >= 3 && src.rows >= 2 && Ssse3() && dst.data != src.data) {
        dst.create(map1.size(), CV_8UC3);
        const Source s{src.data, src.step, src.cols, src.rows, &FractionTable()};
        const bool large = dst.total() * dst.elemSize() >= kLargeBytes;
#ifdef SMT_UNDER_TSAN
        // The library's worker pool is not built for the race checker, which cannot
        // see its joins: the rows in one go on this thread.
        RemapRows(s, dst, map1, map2, 0, dst.rows, large);
#else
        // Stripes as the library's remap cuts them, so that it runs as parallel as before.
        cv::parallel_for_(
            cv::Range(0, dst.rows), [&](const cv::Range& r) { RemapRows(s, dst, map1, map2, r.start, r.end, large); },
            static_cast<double>(dst.total()) / (1 << 16));
#endif
        return;
    }
#endif
    cv::remap(src, dst, map1, map2, cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar::all(0));
}

} // namespace smt

#include "pixel_kernels_avx512.h"

#include "prosvitek/imaging/luminance.h"

#if defined(__x86_64__)

// GCC 12 warns about the deliberately undefined vectors inside the masked
// intrinsics once they are inlined into target-attributed functions.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

#include <array>
#include <cstddef>
#include <cstring>

// Only the functions marked with this attribute contain vector instructions;
// the file itself is compiled for the baseline processor, so out-of-line
// copies of shared inline functions emitted here stay safe to run anywhere.
#define PROSVITEK_AVX512 __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi,bmi2")))

namespace imaging::avx512 {

bool Available() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi") &&
         __builtin_cpu_supports("bmi2");
}

namespace {

// Pixels per step: 16 pixels are 48 bytes, the first three quarters of a
// 64-byte register.
constexpr int kStep = 16;

// One bit per pixel at bit 3p, the first byte of pixel p in a 48-bit byte mask.
constexpr std::uint64_t kFirstBytes = 0x249249249249ull;

// Byte shuffles of one step of interleaved blue, green, red bytes.
struct Shuffles {
  alignas(64) std::uint8_t redGreen[64];  // dword p: red, -, green, -
  alignas(64) std::uint8_t blue[64];      // dword p: blue, -, -, -
  alignas(64) std::uint8_t next[64];      // each byte's next channel in its pixel
  alignas(64) std::uint8_t after[64];     // and the one after that
};

constexpr Shuffles MakeShuffles() {
  Shuffles s{};
  for (int p = 0; p < kStep; ++p) {
    for (int k = 0; k < 4; ++k) {
      s.redGreen[4 * p + k] = static_cast<std::uint8_t>(k == 0 ? 3 * p + 2 : (k == 2 ? 3 * p + 1 : 0));
      s.blue[4 * p + k] = static_cast<std::uint8_t>(k == 0 ? 3 * p : 0);
    }
  }
  for (int j = 0; j < 64; ++j) {
    const int base = j - j % 3;
    s.next[j] = static_cast<std::uint8_t>(j < 48 ? base + (j % 3 + 1) % 3 : j);
    s.after[j] = static_cast<std::uint8_t>(j < 48 ? base + (j % 3 + 2) % 3 : j);
  }
  return s;
}

constexpr Shuffles kShuffles = MakeShuffles();

// Masks that keep the bytes the two shuffles above fill (the rest become 0).
constexpr __mmask64 kRedGreenBytes = 0x5555555555555555ull;
constexpr __mmask64 kBlueBytes = 0x1111111111111111ull;

PROSVITEK_AVX512 inline __mmask64 StepBytes(int pixels) { return _bzhi_u64(~0ull, 3u * static_cast<unsigned>(pixels)); }

PROSVITEK_AVX512 inline __mmask16 StepLanes(int pixels) {
  return static_cast<__mmask16>(_bzhi_u32(0xFFFFu, static_cast<unsigned>(pixels)));
}

// Constants of the luminance key, kept in registers across a row.
struct KeyMaths {
  __m512i redGreen, blue, weightsRedGreen, weightBlue;
};

PROSVITEK_AVX512 inline KeyMaths LoadKeyMaths() {
  return KeyMaths{_mm512_load_si512(kShuffles.redGreen), _mm512_load_si512(kShuffles.blue),
                  _mm512_set1_epi32(2989 | (5866 << 16)), _mm512_set1_epi32(1145)};
}

// 2989 R + 5866 G + 1145 B of each pixel, one per dword.
PROSVITEK_AVX512 inline __m512i Keys(const KeyMaths& k, __m512i pixels) {
  const __m512i rg = _mm512_maskz_permutexvar_epi8(kRedGreenBytes, k.redGreen, pixels);
  const __m512i b = _mm512_maskz_permutexvar_epi8(kBlueBytes, k.blue, pixels);
  return _mm512_add_epi32(_mm512_madd_epi16(rg, k.weightsRedGreen), _mm512_madd_epi16(b, k.weightBlue));
}

// key / 10000, exactly, for keys below 2^24 (they stay below 2.56 million):
// the key converts to float exactly, and with c the float just above 1/10000
// (relative excess 4.8e-8) key * c lies in [L, L + 1) for key in
// [10000 L, 10000 L + 9999] as long as L < 2000, so rounding toward zero (set
// per instruction, whatever the control register says) and truncating give L.
PROSVITEK_AVX512 inline __m512i DivideBy10000(__m512i key) {
  constexpr int kTowardZero = _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC;
  const __m512 k = _mm512_cvt_roundepi32_ps(key, kTowardZero);
  const __m512 q = _mm512_mul_round_ps(k, _mm512_set1_ps(0x1.a36e3p-14f), kTowardZero);
  return _mm512_cvtt_roundps_epi32(q, _MM_FROUND_NO_EXC);
}


// ---- Analysis ----

// Exact luminance of every grey, which lies one below the grey for some.
struct GreyTable {
  alignas(64) std::uint8_t level[256];
};

GreyTable MakeGreyTable() {
  GreyTable t{};
  for (int v = 0; v < 256; ++v) t.level[v] = static_cast<std::uint8_t>(LuminanceOnBoundary(v, v, v));
  return t;
}

const GreyTable& Greys() {
  static const GreyTable table = MakeGreyTable();
  return table;
}

// Pixels per group: four steps, whose levels fill one 64-byte register.
constexpr int kGroup = 64;

struct AnalyseMaths {
  KeyMaths key;
  __m512i greyWeights;  // (10000, 0) against the red-green words: 10000 R
  __m512i tenThousand;  // (10000, 0) against a level: 10000 level
  __m512i greys0, greys1, greys2, greys3;
  __m512i packOrder;
};

PROSVITEK_AVX512 inline AnalyseMaths LoadAnalyseMaths() {
  // The two saturating packs below leave byte 16k + 4s + t holding level
  // 4k + t of step s; this permutation puts it at 16s + 4k + t.
  alignas(64) static constexpr std::array<std::uint8_t, 64> kPackOrder = [] {
    std::array<std::uint8_t, 64> a{};
    for (int s = 0; s < 4; ++s)
      for (int k = 0; k < 4; ++k)
        for (int t = 0; t < 4; ++t) a[static_cast<std::size_t>(16 * s + 4 * k + t)] = static_cast<std::uint8_t>(16 * k + 4 * s + t);
    return a;
  }();
  const std::uint8_t* const greys = Greys().level;
  return AnalyseMaths{LoadKeyMaths(),
                      _mm512_set1_epi32(10000),
                      _mm512_set1_epi32(10000),
                      _mm512_load_si512(greys),
                      _mm512_load_si512(greys + 64),
                      _mm512_load_si512(greys + 128),
                      _mm512_load_si512(greys + 192),
                      _mm512_load_si512(kPackOrder.data())};
}

// Levels (as key / 10000) of the pixels of step s of a group at p, of which
// there are m - 16 s (16 unless `tail`, maybe none), one per dword. Flags
// grey pixels and the other pixels whose key is a multiple of 10000; for
// both the exact luminance may be one lower. Greys are the colours whose key
// is 10000 R: that needs 5866 (G - R) = 1145 (R - B), and as the two weights
// are coprime and exceed any channel difference, G = R = B.
template <bool tail>
PROSVITEK_AVX512 inline __attribute__((always_inline)) __m512i StepLevels(const AnalyseMaths& c, const std::uint8_t* p,
                                                                          int s, int m, std::uint32_t& grey,
                                                                          std::uint32_t& other) {
  const int left = m - kStep * s;
  const int pixels = tail ? (left < 0 ? 0 : (left > kStep ? kStep : left)) : kStep;
  if (tail && pixels == 0) {  // no address beyond the row is even formed
    grey = other = 0;
    return _mm512_setzero_si512();
  }
  const __mmask16 lanes = tail ? StepLanes(pixels) : __mmask16{0xFFFF};
  const __m512i v = _mm512_maskz_loadu_epi8(StepBytes(pixels), p + 3 * kStep * s);
  const __m512i rg = _mm512_maskz_permutexvar_epi8(kRedGreenBytes, c.key.redGreen, v);
  const __m512i b = _mm512_maskz_permutexvar_epi8(kBlueBytes, c.key.blue, v);
  const __m512i key = _mm512_add_epi32(_mm512_madd_epi16(rg, c.key.weightsRedGreen), _mm512_madd_epi16(b, c.key.weightBlue));
  const __m512i level = DivideBy10000(key);
  grey = _mm512_mask_cmpeq_epi32_mask(lanes, key, _mm512_madd_epi16(rg, c.greyWeights));
  // level < 2^16, so madd against (10000, 0) is level * 10000.
  const __mmask16 boundary = _mm512_mask_cmpeq_epi32_mask(lanes, key, _mm512_madd_epi16(level, c.tenThousand));
  other = boundary & ~grey;
  return level;
}

// Levels of the m pixels (64 unless `tail`) of one group into levels[0..63],
// greys already exact; returns the other boundary pixels, still to be decided.
template <bool tail>
PROSVITEK_AVX512 inline __attribute__((always_inline)) std::uint64_t GroupLevels(const AnalyseMaths& c,
                                                                                 const std::uint8_t* p, int m,
                                                                                 std::uint8_t* levels) {
  std::uint32_t g0, g1, g2, g3, o0, o1, o2, o3;
  const __m512i l0 = StepLevels<tail>(c, p, 0, m, g0, o0);
  const __m512i l1 = StepLevels<tail>(c, p, 1, m, g1, o1);
  const __m512i l2 = StepLevels<tail>(c, p, 2, m, g2, o2);
  const __m512i l3 = StepLevels<tail>(c, p, 3, m, g3, o3);
  // Levels are 0..255, so the saturating packs keep them.
  const __m512i packed = _mm512_packus_epi16(_mm512_packus_epi32(l0, l1), _mm512_packus_epi32(l2, l3));
  const __m512i bytes = _mm512_permutexvar_epi8(c.packOrder, packed);
  const __mmask64 grey = std::uint64_t{g0} | std::uint64_t{g1} << 16 | std::uint64_t{g2} << 32 | std::uint64_t{g3} << 48;
  // Grey levels through the 256-entry table: bits 0..6 pick within a pair of
  // 64-byte quarters, bit 7 picks the pair.
  const __m512i low = _mm512_permutex2var_epi8(c.greys0, bytes, c.greys1);
  const __m512i high = _mm512_permutex2var_epi8(c.greys2, bytes, c.greys3);
  const __m512i exact = _mm512_mask_blend_epi8(_mm512_movepi8_mask(bytes), low, high);
  _mm512_store_si512(levels, _mm512_mask_blend_epi8(grey, bytes, exact));
  return std::uint64_t{o0} | std::uint64_t{o1} << 16 | std::uint64_t{o2} << 32 | std::uint64_t{o3} << 48;
}

// Lanes 0..63 whose column x0 + lane lies left of column `limit`.
inline std::uint64_t LanesLeftOf(long long limit, long long x0) {
  const long long d = limit - x0;
  if (d <= 0) return 0;
  if (d >= 64) return ~std::uint64_t{0};
  return (std::uint64_t{1} << d) - 1;
}

// Extremes from the m levels (64 unless tail) at column `column`. lo and hi
// hold the running minL and maxL in every byte. Levels at or beyond them are
// few, so test loosely first. Only lanes that could change the extremes at
// the state on entry go to see(), in column order: a lane that could not
// change them then cannot after the earlier lanes either, since minL only
// falls and a tie only moves minX to an earlier column of this same group
// (likewise for max).
PROSVITEK_AVX512 inline void GroupExtremes(const std::uint8_t* levels, std::uint64_t valid, int column, int y,
                                           RowAnalysis& acc, __m512i& lo, __m512i& hi) {
  const __m512i bytes = _mm512_load_si512(levels);
  if ((_kor_mask64(_mm512_cmple_epu8_mask(bytes, lo), _mm512_cmpge_epu8_mask(bytes, hi)) & valid) == 0) return;
  const __mmask64 tieMin = acc.haveMin ? LanesLeftOf(acc.minX, column) : 0;
  const __mmask64 tieMax = acc.haveMax ? LanesLeftOf(acc.maxX, column) : 0;
  std::uint64_t candidates = (_mm512_cmplt_epu8_mask(bytes, lo) | _mm512_mask_cmpeq_epi8_mask(tieMin, bytes, lo) |
                              _mm512_cmpgt_epu8_mask(bytes, hi) | _mm512_mask_cmpeq_epi8_mask(tieMax, bytes, hi)) &
                             valid;
  if (candidates == 0) return;
  for (; candidates; candidates &= candidates - 1) {
    const int j = __builtin_ctzll(candidates);
    acc.see(levels[j], column + j, y);
  }
  lo = _mm512_set1_epi8(static_cast<char>(acc.minL));
  hi = _mm512_set1_epi8(static_cast<char>(acc.maxL));
}

// Histogram of n levels: level j goes to part j & 3 as in the plain loop,
// so even the parts come out the same. Four levels per load measured fastest
// here: eight per load with shifts, byte loads, or a shortcut for runs of
// equal levels were all slower on photos.
void Count(const std::uint8_t* levels, int n, std::array<Histogram, 4>& parts) {
  int j = 0;
  for (; j + 4 <= n; j += 4) {
    std::uint32_t w;
    std::memcpy(&w, levels + j, 4);
    ++parts[0][w & 0xFF];
    ++parts[1][(w >> 8) & 0xFF];
    ++parts[2][(w >> 16) & 0xFF];
    ++parts[3][w >> 24];
  }
  for (; j < n; ++j) ++parts[static_cast<std::size_t>(j & 3)][levels[j]];
}

}  // namespace

PROSVITEK_AVX512 void AnalyseRow(const std::uint8_t* pixels, int n, int x0, int y, RowAnalysis& acc) {
  // Bounds no analysis produces do not fit the byte compares; let the plain loop judge them.
  if (acc.minL < 0 || acc.minL > 255 || acc.maxL < 0 || acc.maxL > 255) return AnalyseRowPlain(pixels, n, x0, y, acc);
  const AnalyseMaths c = LoadAnalyseMaths();
  __m512i lo = _mm512_set1_epi8(static_cast<char>(acc.minL));
  __m512i hi = _mm512_set1_epi8(static_cast<char>(acc.maxL));
  // Blocks in phases: levels (no calls, so the constants stay in registers),
  // the rare exact luminances, extremes, histogram. Counting right after each
  // step instead leaves the counter updates waiting on the long vector
  // latency and costs half the speed.
  constexpr int kBlock = 4 * kGroup;
  alignas(64) std::uint8_t levels[kBlock];
  for (int b = 0; b < n; b += kBlock) {
    const int size = n - b < kBlock ? n - b : kBlock;
    const std::uint8_t* const block = pixels + 3 * static_cast<std::ptrdiff_t>(b);
    std::uint64_t others[4];
    int g = 0;
    for (; g + kGroup <= size; g += kGroup) others[g / kGroup] = GroupLevels<false>(c, block + 3 * g, kGroup, levels + g);
    if (g < size) others[g / kGroup] = GroupLevels<true>(c, block + 3 * g, size - g, levels + g);

    for (int k = 0; k * kGroup < size; ++k) {
      for (std::uint64_t o = others[k]; o; o &= o - 1) {
        const int j = k * kGroup + __builtin_ctzll(o);
        const std::uint8_t* q = block + 3 * j;
        levels[j] = static_cast<std::uint8_t>(LuminanceOnBoundary(q[2], q[1], q[0]));
      }
      const int left = size - k * kGroup;
      const std::uint64_t valid = left >= kGroup ? ~std::uint64_t{0} : (std::uint64_t{1} << left) - 1;
      GroupExtremes(levels + k * kGroup, valid, x0 + b + k * kGroup, y, acc, lo, hi);
    }
    Count(levels, size, acc.parts);
  }
}

// ---- Brightening ----

// The pixels of the step starting at pixel i of a row of n pixels.
PROSVITEK_AVX512 inline __m512i LoadStep(const std::uint8_t* row, int i, int n) {
  const int m = n - i < kStep ? n - i : kStep;
  return _mm512_maskz_loadu_epi8(StepBytes(m), row + 3 * static_cast<std::ptrdiff_t>(i));
}

PROSVITEK_AVX512 void BrightenRow(const BrightenTable& table, const std::uint8_t* in, std::uint8_t* out, int n) {
  const KeyMaths km = LoadKeyMaths();
  const std::uint8_t* const curve = table.curve().data();
  const __m512i curve0 = _mm512_loadu_si512(curve);
  const __m512i curve1 = _mm512_loadu_si512(curve + 64);
  const __m512i curve2 = _mm512_loadu_si512(curve + 128);
  const __m512i curve3 = _mm512_loadu_si512(curve + 192);
  const __m512i next = _mm512_load_si512(kShuffles.next);
  const __m512i after = _mm512_load_si512(kShuffles.after);
  const __m512i thresholdKey = _mm512_set1_epi32(table.thresholdKey());
  const int boost = table.boost();
  // channel + boost < 255 holds for some channel only when boost < 255.
  const bool adjust = boost > 0 && boost < 255;
  const __m512i boostBytes = _mm512_set1_epi8(static_cast<char>(adjust ? boost : 0));
  const __m512i limitBytes = _mm512_set1_epi8(static_cast<char>(adjust ? 255 - boost : 0));
  const bool inPlace = in == out;

  // Each step's bytes are loaded one step ahead, before the previous step's
  // store: a masked store covers its whole 64-byte line, and a load of the
  // next 48 bytes issued after it would wait for the store to retire.
  __m512i ahead = n > 0 ? LoadStep(in, 0, n) : _mm512_setzero_si512();
  for (int i = 0; i < n; i += kStep) {
    const int m = n - i < kStep ? n - i : kStep;
    const __mmask16 lanes = StepLanes(m);
    const __mmask64 used = StepBytes(m);
    const std::uint8_t* const src = in + 3 * static_cast<std::ptrdiff_t>(i);
    std::uint8_t* const dst = out + 3 * static_cast<std::ptrdiff_t>(i);
    const __m512i v = ahead;
    if (i + kStep < n) ahead = LoadStep(in, i + kStep, n);
    const __m512i key = Keys(km, v);
    std::uint32_t below = _mm512_mask_cmplt_epi32_mask(lanes, key, thresholdKey);
    const __mmask16 onThreshold = _mm512_mask_cmpeq_epi32_mask(lanes, key, thresholdKey);
    for (std::uint32_t b = onThreshold; b; b &= b - 1) {
      const int j = __builtin_ctz(b);
      const std::uint8_t* q = src + 3 * j;
      if (table.belowOnBoundary(Rgb{q[2], q[1], q[0]})) below |= 1u << j;
    }
    if (below == 0) {
      // Nothing changes: leave the destination untouched when it is the source.
      if (!inPlace) _mm512_mask_storeu_epi8(dst, used, v);
      continue;
    }

    // The curve on every byte: bits 0..6 pick from a pair of 64-byte table
    // quarters, bit 7 picks the pair.
    const __m512i low = _mm512_permutex2var_epi8(curve0, v, curve1);
    const __m512i high = _mm512_permutex2var_epi8(curve2, v, curve3);
    __m512i c = _mm512_mask_blend_epi8(_mm512_movepi8_mask(v), low, high);
    if (adjust) {
      // A byte is its pixel's one strictly largest channel when it exceeds
      // both others; it grows only while channel + boost < 255.
      const __mmask64 room = _mm512_cmplt_epu8_mask(c, limitBytes);
      const __mmask64 overNext = _mm512_mask_cmpgt_epu8_mask(room, c, _mm512_permutexvar_epi8(next, c));
      const __mmask64 largest = _mm512_mask_cmpgt_epu8_mask(overNext, c, _mm512_permutexvar_epi8(after, c));
      c = _mm512_mask_add_epi8(c, largest, c, boostBytes);
    }
    // Expand the pixel mask to its three bytes: bits 3p, then times 7.
    const __mmask64 changed = _pdep_u64(below, kFirstBytes) * 7u;
    _mm512_mask_storeu_epi8(dst, used, _mm512_mask_blend_epi8(changed, v, c));
  }
}

// (v + add) / 16, rounded down and clamped to a sample.
PROSVITEK_AVX512 inline __m512i SampleOf(__m512i v, int add) {
  return _mm512_min_epi32(
      _mm512_max_epi32(_mm512_srai_epi32(_mm512_add_epi32(v, _mm512_set1_epi32(add)), 4), _mm512_setzero_si512()),
      _mm512_set1_epi32(255));
}

PROSVITEK_AVX512 void BlockRanges(const std::int16_t* blocks, int count, const std::int16_t* weights,
                                  const float* quant, int dcQuant, std::uint32_t* ranges) {
  const __m512i w0 = _mm512_loadu_si512(weights), w1 = _mm512_loadu_si512(weights + 32);
  const __m512 q0 = _mm512_loadu_ps(quant), q1 = _mm512_loadu_ps(quant + 16), q2 = _mm512_loadu_ps(quant + 32),
               q3 = _mm512_loadu_ps(quant + 48);
  const __m512i limit = _mm512_set1_epi16(2047);
  // Sixteen blocks at a time: their sums, energies and DC coefficients, then
  // the rest of the plain loop's RangeFrom for all of them together.
  alignas(64) std::int32_t sums[16], dcs[16];
  alignas(64) float energies[16];
  for (int first = 0; first < count; first += 16) {
    const int n = count - first < 16 ? count - first : 16;
    __mmask16 wild = 0;
    for (int i = 0; i < n; ++i, blocks += 64) {
      // |-32768| stays 0x8000, beyond the limit as an unsigned number too.
      const __m512i a0 = _mm512_abs_epi16(_mm512_loadu_si512(blocks));
      const __m512i a1 = _mm512_abs_epi16(_mm512_loadu_si512(blocks + 32));
      if ((_mm512_cmpgt_epu16_mask(a0, limit) & ~__mmask32{1}) | _mm512_cmpgt_epu16_mask(a1, limit))
        wild = static_cast<__mmask16>(wild | (1u << i));
      dcs[i] = blocks[0];
      sums[i] = _mm512_reduce_add_epi32(_mm512_add_epi32(_mm512_madd_epi16(a0, w0), _mm512_madd_epi16(a1, w1)));
      const __m512 d0 = _mm512_mul_ps(_mm512_cvtepi32_ps(_mm512_cvtepu16_epi32(_mm512_castsi512_si256(a0))), q0);
      const __m512 d1 = _mm512_mul_ps(_mm512_cvtepi32_ps(_mm512_cvtepu16_epi32(_mm512_extracti64x4_epi64(a0, 1))), q1);
      const __m512 d2 = _mm512_mul_ps(_mm512_cvtepi32_ps(_mm512_cvtepu16_epi32(_mm512_castsi512_si256(a1))), q2);
      const __m512 d3 = _mm512_mul_ps(_mm512_cvtepi32_ps(_mm512_cvtepu16_epi32(_mm512_extracti64x4_epi64(a1, 1))), q3);
      energies[i] = _mm512_reduce_add_ps(_mm512_add_ps(_mm512_add_ps(_mm512_mul_ps(d0, d0), _mm512_mul_ps(d1, d1)),
                                                       _mm512_add_ps(_mm512_mul_ps(d2, d2), _mm512_mul_ps(d3, d3))));
    }
    const __m512 root = _mm512_add_ps(
        _mm512_roundscale_ps(_mm512_mul_ps(_mm512_sqrt_ps(_mm512_load_ps(energies)), _mm512_set1_ps(16 * 1.00001f)),
                             _MM_FROUND_TO_POS_INF | _MM_FROUND_NO_EXC),
        _mm512_set1_ps(1));
    const __m512i sum = _mm512_load_si512(sums);
    const __m512i spread = _mm512_mask_blend_epi32(_mm512_cmp_ps_mask(root, _mm512_cvtepi32_ps(sum), _CMP_LT_OQ), sum,
                                                   _mm512_cvtps_epi32(root));
    const __m512i mean = _mm512_mullo_epi32(_mm512_load_si512(dcs), _mm512_set1_epi32(2 * dcQuant));
    const __m512i low = _mm512_sub_epi32(mean, spread), high = _mm512_add_epi32(mean, spread);
    const __mmask16 known = static_cast<__mmask16>(~wild) &
                            _mm512_cmpge_epi32_mask(low, _mm512_set1_epi32(-300 * 16)) &
                            _mm512_cmple_epi32_mask(high, _mm512_set1_epi32(300 * 16));
    __m512i packed = _mm512_or_si512(
        _mm512_or_si512(SampleOf(low, 2039), _mm512_slli_epi32(SampleOf(high, 2072), 8)),
        _mm512_or_si512(_mm512_slli_epi32(SampleOf(mean, 2039), 16), _mm512_slli_epi32(SampleOf(mean, 2072), 24)));
    packed = _mm512_mask_blend_epi32(known, _mm512_set1_epi32(static_cast<int>(0xFF00FF00u)), packed);
    _mm512_mask_storeu_epi32(ranges + first, static_cast<__mmask16>((1u << n) - 1), packed);
  }
}

}  // namespace imaging::avx512

#else  // other processors: the plain loops only

namespace imaging::avx512 {

bool Available() { return false; }
void AnalyseRow(const std::uint8_t* pixels, int n, int x0, int y, RowAnalysis& acc) {
  AnalyseRowPlain(pixels, n, x0, y, acc);
}
void BrightenRow(const BrightenTable& table, const std::uint8_t* in, std::uint8_t* out, int n) {
  BrightenRowPlain(table, in, out, n);
}
void BlockRanges(const std::int16_t* blocks, int count, const std::int16_t* weights, const float* quant, int dcQuant,
                 std::uint32_t* ranges) {
  BlockRangesPlain(blocks, count, weights, quant, dcQuant, ranges);
}

}  // namespace imaging::avx512

#endif

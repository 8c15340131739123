// The decoders follow the block diagram of the recommendations: inverse adaptive quantiser
// (RECONST, ADDA, ANTILOG), adaptive predictor (FMULT, ACCUM, UPA1, UPA2, UPB, LIMC, LIMD),
// quantiser scale factor adaptation (FUNCTW, FILTD, LIMB, FILTE, MIX), adaptation speed
// control (FUNCTF, FILTA, FILTB, SUBTC, FILTC, LIMA) and tone and transition detection
// (TONE, TRANS, TRIGA, TRIGB). The three rates differ only in their tables and in the leak
// of the zero predictor.
#include "decoders/own/G72x.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

namespace wavorax {
namespace {

inline int Wrap16(int v) { return static_cast<std::int16_t>(v); }

// Position of the highest set bit plus one (0 for 0): the exponent of the float formats.
inline int Exponent(int magnitude) {
  return std::min(static_cast<int>(std::bit_width(static_cast<unsigned>(magnitude))), 15);
}

// FMULT: multiplies a predictor coefficient (16-bit two's complement, already scaled by
// 1/4) by a signal in the 11-bit float format (sign, 4-bit exponent, 6-bit mantissa).
int FloatMultiply(int coefficient, int value) {
  const int magnitude = coefficient > 0 ? coefficient : ((-coefficient) & 0x1FFF);
  const int exponent = Exponent(magnitude) - 6;
  const int mantissa = magnitude == 0  ? 32
                       : exponent >= 0 ? magnitude >> exponent
                                       : magnitude << -exponent;
  const int productExponent = exponent + ((value >> 6) & 0xF) - 13;
  const int productMantissa = (mantissa * (value & 0x3F) + 0x30) >> 4;
  const int product = productExponent >= 0 ? ((productMantissa << productExponent) & 0x7FFF)
                                           : (productMantissa >> -productExponent);
  return ((coefficient ^ value) < 0) ? -product : product;
}

// The 11-bit float format of a non-zero magnitude; negative values are stored as the
// format minus 0x400, so that the sign of the int is the sign of the value.
constexpr int kNegativeZero = 0xFC20 - 0x10000;

int ToFloat(int magnitude, bool negative) {
  const int e = Exponent(magnitude);
  const int f = (e << 6) + ((magnitude << 6) >> e);
  return negative ? f - 0x400 : f;
}

struct RateTables {
  int codeBits;
  const int* logDifference;    // DQLN by code: log2 of the quantised difference, scaled
  const int* scaleMultiplier;  // W by code, in the scale factor's units
  const int* speedFunction;    // F by code
};

constexpr int kDqln24[8] = {-2048, 135, 273, 373, 373, 273, 135, -2048};
constexpr int kW24[8] = {-4, 30, 137, 582, 582, 137, 30, -4};
constexpr int kF24[8] = {0, 1, 2, 7, 7, 2, 1, 0};

constexpr int kDqln32[16] = {-2048, 4,   135, 213, 273, 323, 373, 425,
                             425,   373, 323, 273, 213, 135, 4,   -2048};
constexpr int kW32[16] = {-12,  18,  41,  64,  112, 198, 355, 1122,
                          1122, 355, 198, 112, 64,  41,  18,  -12};
constexpr int kF32[16] = {0, 0, 0, 1, 1, 1, 3, 7, 7, 3, 1, 1, 1, 0, 0, 0};

constexpr int kDqln40[32] = {-2048, -66, 28,  104, 169, 224, 274, 318, 358, 395,  429,
                             459,   488, 514, 539, 566, 566, 539, 514, 488, 459,  429,
                             395,   358, 318, 274, 224, 169, 104, 28,  -66, -2048};
constexpr int kW40[32] = {14,  14,  24,  39,  40,  41,  58,  100, 141, 179, 219,
                          280, 358, 440, 529, 696, 696, 529, 440, 358, 280, 219,
                          179, 141, 100, 58,  41,  40,  39,  24,  14,  14};
constexpr int kF40[32] = {0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 2, 3, 4, 5, 6, 6,
                          6, 6, 5, 4, 3, 2, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0};

constexpr RateTables k24{3, kDqln24, kW24, kF24};
constexpr RateTables k32{4, kDqln32, kW32, kF32};
constexpr RateTables k40{5, kDqln40, kW40, kF40};

// MIX: the quantiser scale factor, a blend of the fast and slow factors by the speed
// control parameter.
int ScaleFactor(const G72xState& s) {
  if (s.ap >= 256) return s.yu;
  int y = s.yl >> 6;
  const int difference = s.yu - y;
  const int al = s.ap >> 2;
  if (difference > 0) {
    y += (difference * al) >> 6;
  } else if (difference < 0) {
    y += (difference * al + 0x3F) >> 6;
  }
  return y;
}

// ADDA and ANTILOG: the quantised difference in sign-magnitude form (bit 15 = sign).
int Reconstruct(bool negative, int logDifference, int y) {
  const int dql = logDifference + (y >> 2);
  if (dql < 0) return negative ? -0x8000 : 0;
  const int exponent = (dql >> 7) & 15;
  const int mantissa = 128 + (dql & 127);
  const int dq = (mantissa << 7) >> (14 - exponent);
  return negative ? dq - 0x8000 : dq;
}

void Update(const RateTables& t, int code, int y, int dq, int sr, int dqsez, G72xState& s) {
  const int wi = t.scaleMultiplier[code] << 5;
  const int fi = t.speedFunction[code] << 9;
  const int pk0 = dqsez < 0 ? 1 : 0;
  const int magnitude = dq & 0x7FFF;

  // TRANS: a large difference while a tone was detected means a transition.
  const int ylInteger = s.yl >> 15;
  const int ylFraction = (s.yl >> 10) & 0x1F;
  const int threshold = ylInteger > 9 ? 31 << 10 : (32 + ylFraction) << ylInteger;
  const int dqThreshold = (threshold + (threshold >> 1)) >> 1;
  const bool transition = s.td != 0 && magnitude > dqThreshold;

  // FUNCTW, FILTD, LIMB, FILTE.
  s.yu = y + ((wi - y) >> 5);
  if (s.yu < 544) {
    s.yu = 544;
  } else if (s.yu > 5120) {
    s.yu = 5120;
  }
  s.yl += s.yu + ((-s.yl) >> 6);

  int a2p = 0;
  if (transition) {
    // TRIGB: a transition resets the predictor.
    s.a[0] = s.a[1] = 0;
    for (int& b : s.b) b = 0;
  } else {
    // UPA2.
    const int pks1 = pk0 ^ s.pk[0];
    a2p = s.a[1] - (s.a[1] >> 7);
    if (dqsez != 0) {
      const int fa1 = pks1 ? s.a[0] : -s.a[0];
      if (fa1 < -8191) {
        a2p -= 0x100;
      } else if (fa1 > 8191) {
        a2p += 0xFF;
      } else {
        a2p += fa1 >> 5;
      }
      // LIMC.
      if (pk0 ^ s.pk[1]) {
        if (a2p <= -12160) {
          a2p = -12288;
        } else if (a2p >= 12416) {
          a2p = 12288;
        } else {
          a2p -= 0x80;
        }
      } else if (a2p <= -12416) {
        a2p = -12288;
      } else if (a2p >= 12160) {
        a2p = 12288;
      } else {
        a2p += 0x80;
      }
    }
    s.a[1] = a2p;

    // UPA1 and LIMD.
    s.a[0] -= s.a[0] >> 8;
    if (dqsez != 0) s.a[0] += pks1 == 0 ? 192 : -192;
    const int a1Limit = 15360 - a2p;
    if (s.a[0] < -a1Limit) {
      s.a[0] = -a1Limit;
    } else if (s.a[0] > a1Limit) {
      s.a[0] = a1Limit;
    }

    // UPB: the 40 kbit/s rate leaks its zero predictor more slowly.
    // The coefficients are 16-bit two's complement numbers and wrap as such.
    const int leak = t.codeBits == 5 ? 9 : 8;
    for (int i = 0; i < 6; ++i) {
      int b = s.b[i] - (s.b[i] >> leak);
      if (magnitude != 0) b += ((dq ^ s.dq[i]) >= 0) ? 128 : -128;
      s.b[i] = static_cast<std::int16_t>(b);
    }
  }

  // DELAY of the difference and the reconstructed signal, in float format.
  for (int i = 5; i > 0; --i) s.dq[i] = s.dq[i - 1];
  s.dq[0] = magnitude == 0 ? (dq >= 0 ? 0x20 : kNegativeZero) : ToFloat(magnitude, dq < 0);
  s.sr[1] = s.sr[0];
  if (sr == 0) {
    s.sr[0] = 0x20;
  } else if (sr > 0) {
    s.sr[0] = ToFloat(sr, false);
  } else if (sr > -32768) {
    s.sr[0] = ToFloat(-sr, true);
  } else {
    s.sr[0] = kNegativeZero;
  }
  s.pk[1] = s.pk[0];
  s.pk[0] = pk0;

  // TONE: a strongly negative second pole coefficient suggests a modem tone.
  if (transition) {
    s.td = 0;
  } else {
    s.td = a2p < -11776 ? 1 : 0;
  }

  // FILTA, FILTB, SUBTC, FILTC: adaptation speed control.
  s.dms += (fi - s.dms) >> 5;
  s.dml += ((fi << 2) - s.dml) >> 7;
  if (transition) {
    s.ap = 256;
  } else if (y < 1536 || s.td == 1 || std::abs((s.dms << 2) - s.dml) >= (s.dml >> 3)) {
    s.ap += (0x200 - s.ap) >> 4;
  } else {
    s.ap += (-s.ap) >> 4;
  }
}

std::int16_t Decode(const RateTables& t, int code, G72xState& s) {
  code &= (1 << t.codeBits) - 1;
  // Predictor: six zeros on the past differences, two poles on the past reconstructions.
  // The recommendations define these sums (and the reconstruction below) as 16-bit two's
  // complement numbers, so they wrap at 16 bits.
  int sum = 0;
  for (int i = 0; i < 6; ++i) sum += FloatMultiply(s.b[i] >> 2, s.dq[i]);
  const int sezi = Wrap16(sum);
  const int sez = sezi >> 1;
  const int sei =
      Wrap16(sezi + FloatMultiply(s.a[1] >> 2, s.sr[1]) + FloatMultiply(s.a[0] >> 2, s.sr[0]));
  const int se = sei >> 1;

  const int y = ScaleFactor(s);
  const bool negative = (code >> (t.codeBits - 1)) & 1;
  const int dq = Reconstruct(negative, t.logDifference[code], y);
  // dq is sign and 15-bit magnitude.
  const int sr = Wrap16(dq < 0 ? se - (dq & 0x7FFF) : se + dq);
  const int dqsez = Wrap16(sr - se + sez);
  Update(t, code, y, dq, sr, dqsez, s);
  // The reconstruction has 14 significant bits; scale it to 16 and keep it in range.
  const int out = sr * 4;
  return static_cast<std::int16_t>(out > 32767 ? 32767 : out < -32768 ? -32768 : out);
}

}  // namespace

void G72xState::Reset() {
  yl = 34816;
  yu = 544;
  dms = dml = ap = 0;
  a[0] = a[1] = 0;
  pk[0] = pk[1] = 0;
  sr[0] = sr[1] = 0x20;
  for (int i = 0; i < 6; ++i) {
    b[i] = 0;
    dq[i] = 0x20;
  }
  td = 0;
}

std::int16_t G721Decode(int code, G72xState& state) { return Decode(k32, code, state); }
std::int16_t G723_24Decode(int code, G72xState& state) { return Decode(k24, code, state); }
std::int16_t G723_40Decode(int code, G72xState& state) { return Decode(k40, code, state); }

}  // namespace wavorax

// The codes that name a target format.
#pragma once

namespace wavorax {

// Target format codes: the item data of the format drop-down and the value of OutputFormat.
enum TargetFormat : int {
  kTargetMp3 = 1000,
  kTargetWav = 2000,
  kTargetAac = 6000,
  kTargetM4a = 6500,
  kTargetMp4 = 6600,
  kTargetM4b = 6700,
  // Beyond the six: the lossless and Ogg targets.
  kTargetFlac = 3000,
  kTargetAlac = 6800,
  kTargetOpus = 4100,
  kTargetOgg = 4000,
};

}  // namespace wavorax

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
};

}  // namespace wavorax

#include <gtest/gtest.h>

#include "decoders/SourceType.h"

namespace wavorax {
namespace {

struct TypeCase {
  const char* path;
  int type;
};

class SourceTypeOfPath : public testing::TestWithParam<TypeCase> {};

TEST_P(SourceTypeOfPath, FromTheLastExtensionOfTheFileName) {
  EXPECT_EQ(SourceTypeOf(GetParam().path), GetParam().type) << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(
    Table, SourceTypeOfPath,
    testing::Values(TypeCase{"/music/song.mp3", kSourceMpeg},
                    TypeCase{"/music/SONG.MP3", kSourceMpeg}, TypeCase{"a.Mp2", kSourceMpeg},
                    TypeCase{"a.mp1", kSourceMpeg}, TypeCase{"/x/song.mp3.wav", kSourceWav},
                    TypeCase{"/x/take.WAV", kSourceWav}, TypeCase{"voice.amr", kSourceAmr},
                    TypeCase{"v.AMR", kSourceAmr}, TypeCase{"a.ogg", kSourceOgg},
                    TypeCase{"a.OGA", kSourceOgg}, TypeCase{"m.mod", kSourceMusic},
                    TypeCase{"m.XM", kSourceMusic}, TypeCase{"m.it", kSourceMusic},
                    TypeCase{"m.s3m", kSourceMusic}, TypeCase{"m.mtm", kSourceMusic},
                    TypeCase{"m.umx", kSourceMusic}, TypeCase{"m.mo3", kSourceMusic},
                    TypeCase{"s.au", kSourceAu}, TypeCase{"s.SND", kSourceAu},
                    TypeCase{"a.flac", kSourceOther},
                    // A dot in a folder name is no extension.
                    TypeCase{"/music/old.mp3/track", kSourceOther},
                    TypeCase{"/music/album.wav/", kSourceOther},
                    TypeCase{"noextension", kSourceOther}, TypeCase{"/a/b.mp3x", kSourceOther},
                    TypeCase{"/a/b.", kSourceOther}, TypeCase{"", kSourceOther}));

}  // namespace
}  // namespace wavorax

// Every user option of the converter. The field names are the names under which the
// settings store keeps them, and the names wavorax-cli's --set accepts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "settings/TagRecord.h"
#include "settings/TargetCodes.h"

namespace wavorax {

// Folder and target-exists policies.
enum : int {
  kFolderSameAsSource = 199,
  kFolderCustom = 399,
  // Outputs named by NamePattern from each source's tags, below NamePatternBase.
  kFolderPattern = 599,
  kExistsAutoRename = 11,
  kExistsOverwrite = 22,
  kExistsSkip = 33,
};

// Tag choices for MP3 and MP4-family targets.
enum : int { kTagAddUser = 0, kTagTransfer = 1, kTagNone = 2 };

// The default of ConvertJobs: the number of processors, within 1..kMaxConvertJobs.
constexpr int kMaxConvertJobs = 64;
std::int32_t DefaultConvertJobs();

struct ConversionSettings {
  std::string Folder;  // last folder chosen for Add Folder
  std::int32_t AutoDestMP3EncodingParam = 1;
  std::int32_t MP3BitRate = 128;
  std::int32_t MP3SampleRate = 44100;
  std::int32_t MP3ChannelMode = 1;  // 0 stereo, 1 joint stereo, 3 mono, 4 as the source
  std::int32_t AutoDestWAVEncodingParam = 1;
  std::int32_t WAVSampleRate = 44100;
  std::int32_t WAVChannelNum = 2;  // 2 stereo, 1 mono, 0 as the source
  std::int32_t WAVBitsPerSample = 16;
  std::int32_t AutoDestAACEncodingParam = 1;
  std::int32_t AACVBR = 1;
  std::int32_t AACVBRQuality = 100;
  std::int32_t AACABRBitRate = 128;
  std::int32_t AACMpegVersion = 0;  // 0 MPEG-4, 1 MPEG-2
  std::int32_t AACEnableTNS = 0;
  std::int32_t AACEnableMidside = 1;
  std::int32_t AACBlockType = 0;  // 0 long and short, 1 no short, 2 no long
  std::int32_t AmplifyAAC = 0;
  std::int32_t AmplifyAACCoef = 100;
  std::int32_t AutoDestM4AEncodingParam = 1;
  std::int32_t M4AVBR = 1;
  std::int32_t M4AVBRQuality = 100;
  std::int32_t M4AABRBitRate = 128;
  std::int32_t M4AEnableTNS = 0;
  std::int32_t M4AEnableMidside = 1;
  std::int32_t M4ABlockType = 0;
  std::int32_t AmplifyM4A = 0;
  std::int32_t AmplifyM4ACoef = 100;
  std::int32_t M4AID3TagType = kTagTransfer;
  TagRecord M4AID3Tag;
  std::int32_t DestOutputFolderOpt = kFolderSameAsSource;
  std::string DestSpecifiedFolder;
  std::int32_t CreateDirs = 0;
  std::int32_t TargetExistsOpt = kExistsAutoRename;
  std::int32_t MP3ID3TagType = kTagTransfer;
  TagRecord MP3ID3Tag;
  std::int32_t AmplifyMp3 = 0;
  std::int32_t AmplifyMp3Coeff = 100;
  std::int32_t AmplifyWav = 0;
  std::int32_t AmplifyWavCoeff = 100;
  std::int32_t LastOptionsPage = 0;  // not persisted
  std::int32_t BrowseOutputFolder = 1;
  std::int32_t OutputFiles2MyDocuments = 1;
  std::int32_t MonoType = 0;  // 0 (L+R)/2, 1 left, 2 right
  // Extension filter for Add Folder, drops and shortcut targets.
  std::int32_t BatchAddMP3 = 1, BatchAddWAV = 1, BatchAddIT = 1, BatchAddMO3 = 1, BatchAddMOD = 1,
               BatchAddMP1 = 1, BatchAddMP2 = 1, BatchAddMTM = 1, BatchAddOGG = 1, BatchAddS3M = 1,
               BatchAddUMX = 1, BatchAddXM = 1, BatchAddAU = 1, BatchAddSND = 1, BatchAddAMR = 1,
               BatchAddOGA = 1, BatchAddAIFF = 1, BatchAddAIF = 1, BatchAddAIFC = 1,
               BatchAddAFC = 1, BatchAddCDA = 1, BatchAddFLAC = 1, BatchAddWMA = 1, BatchAddWMV = 1,
               BatchAddASF = 1, BatchAddWV = 1, BatchAddAAC = 1, BatchAddM4A = 1, BatchAddM4B = 1,
               BatchAddMP4 = 1, BatchAddM4V = 1, BatchAddAC3 = 1, BatchAddADX = 1, BatchAddAPE = 1,
               BatchAddMAC = 1, BatchAddMPC = 1, BatchAddMPplus = 1, BatchAddMPP = 1,
               BatchAddSPX = 1, BatchAddTTA = 1;
  // Disc images (.cue, .toc, .nrg) for the same commands: each adds its audio tracks.
  std::int32_t BatchAddCUE = 1;
  std::int32_t OutputFormat = kTargetMp3;
  // How many files the window converts at once (1 to 64; 1 converts on the window's thread).
  std::int32_t ConvertJobs = DefaultConvertJobs();
  // Whether each output is decoded again once written and compared with its source.
  std::int32_t VerifyOutputs = 0;

  // MP3 rate control: 0 constant bit rate (MP3BitRate), 1 variable (MP3VBRQuality, V0 best to
  // V9 smallest), 2 average (MP3ABRBitRate, kbit/s). Only with the explicit parameters.
  std::int32_t MP3EncodingMode = 0;
  std::int32_t MP3VBRQuality = 2;
  std::int32_t MP3ABRBitRate = 160;
  // FLAC: compression level 0 (fastest) to 8 (smallest); width 0 as the source (16 or 24
  // bits), or 16.
  std::int32_t FLACCompression = 5;
  std::int32_t FLACBitsPerSample = 0;
  // ALAC: width 0 as the source (16 or 24 bits), or 16.
  std::int32_t ALACBitsPerSample = 0;
  // Opus: the stream's bit rate in kbit/s (6 to 256 a channel), VBR on or off, and the signal
  // it is tuned for: 0 music, 1 speech.
  std::int32_t OpusBitRate = 128;
  std::int32_t OpusVBR = 1;
  std::int32_t OpusSignal = 0;
  // Ogg Vorbis: 0 by quality (VorbisQuality, -1 to 10), 1 by a managed average bit rate
  // (VorbisBitRate, kbit/s).
  std::int32_t VorbisMode = 0;
  std::int32_t VorbisQuality = 5;
  std::int32_t VorbisBitRate = 160;
  // Tags of the targets that carry Vorbis comments (FLAC, Opus, Ogg Vorbis); ALAC takes the
  // MP4 family's choice and tag.
  std::int32_t VorbisCommentTagType = kTagTransfer;
  TagRecord VorbisCommentTag;
  // Loudness: ReplayGain tags 0 off, 1 track gain, 2 track and album gain (an album being
  // the rows of one batch that share the album tag and the source folder). Normalisation
  // 0 off, 1 on: each output is brought to NormaliseTarget LUFS (-31 to -5), an album as a
  // whole when ReplayGainMode is 2.
  std::int32_t ReplayGainMode = 0;
  std::int32_t NormaliseLoudness = 0;
  std::int32_t NormaliseTarget = -18;

  // Whole libraries. The pattern and its base folder serve the folder choice kFolderPattern;
  // FatSafeNames keeps pattern names to what FAT file systems and Windows shares take.
  std::string NamePattern = "%albumartist|artist%/%album%/%track% %title%";
  std::string NamePatternBase;
  std::int32_t FatSafeNames = 0;
  // "Only convert what changed": a source whose output below the base folder is up to date
  // is not converted again. Needs a base folder: the custom folder or the pattern's.
  std::int32_t SyncOutputs = 0;
  // With SyncOutputs: outputs whose source is gone go to the Trash.
  std::int32_t RemoveOrphans = 0;
  // A source whose own output was written and verified goes to the Trash.
  std::int32_t TrashSources = 0;
  // The main window and the progress windows: 0 the skinned window, 1 ordinary windows in the
  // desktop's style and palette (dark mode included).
  std::int32_t UseDesktopLook = 0;

  bool operator==(const ConversionSettings&) const = default;
};

// ---- Reflection: every persisted field by name, in the order the store loads them. ----

enum class SettingKind { Int, Text, Tag };

struct SettingField {
  const char* name;
  SettingKind kind;
  std::int32_t ConversionSettings::*intField = nullptr;
  std::string ConversionSettings::*textField = nullptr;
  TagRecord ConversionSettings::*tagField = nullptr;
  int saveGroup = 8;  // 4 Folder, 8 the options, 16 OutputFormat
};

// The persisted fields (everything but LastOptionsPage), in load order.
const std::vector<SettingField>& SettingFields();
// The field of that exact name, or null.
const SettingField* FindSettingField(const std::string& name);

// The forty BatchAdd flags and the extension each admits, in declaration order.
struct BatchAddFlag {
  const char* name;
  const char* extension;
  std::int32_t ConversionSettings::*field;
};
const std::vector<BatchAddFlag>& BatchAddFlags();

// ---- Corrections applied when a stored value is loaded. ----

// Returns the value the field takes when `value` is loaded for it: MP3ChannelMode outside
// {0,1,3,4} becomes 1, WAVChannelNum outside 0..2 becomes 2, M4AID3TagType outside 0..2
// becomes 2, AmplifyMp3Coeff and AmplifyWavCoeff are clamped to 10..3000, ConvertJobs outside
// 1..64 becomes DefaultConvertJobs(), VerifyOutputs outside 0..1 becomes 0, a WAVSampleRate or
// MP3SampleRate that its page does not list becomes 44100 and a WAVBitsPerSample other than 0,
// 8 or 16 becomes 16 (0, "same as the source", stays), a DestOutputFolderOpt other than the
// three folder choices becomes kFolderSameAsSource (what it already acted as), the switches
// FatSafeNames, SyncOutputs, RemoveOrphans, TrashSources and UseDesktopLook outside 0..1 become 0,
// ReplayGainMode outside 0..2 and NormaliseLoudness outside 0..1 become 0 and NormaliseTarget
// outside -31..-5 becomes -18. Every other field takes the value as stored.
std::int32_t CorrectLoadedValue(const std::string& name, std::int32_t value);

}  // namespace wavorax

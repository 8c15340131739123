#include "settings/ConversionSettings.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <thread>

namespace wavorax {

using CS = ConversionSettings;

namespace {

SettingField Int(const char* name, std::int32_t CS::*f, int group = 8) {
  SettingField s{name, SettingKind::Int};
  s.intField = f;
  s.saveGroup = group;
  return s;
}
SettingField Text(const char* name, std::string CS::*f, int group = 8) {
  SettingField s{name, SettingKind::Text};
  s.textField = f;
  s.saveGroup = group;
  return s;
}
SettingField Tag(const char* name, TagRecord CS::*f) {
  SettingField s{name, SettingKind::Tag};
  s.tagField = f;
  return s;
}

}  // namespace

const std::vector<BatchAddFlag>& BatchAddFlags() {
  static const std::vector<BatchAddFlag> flags = {
      {"BatchAddMP3", ".mp3", &CS::BatchAddMP3},       {"BatchAddWAV", ".wav", &CS::BatchAddWAV},
      {"BatchAddIT", ".it", &CS::BatchAddIT},          {"BatchAddMO3", ".mo3", &CS::BatchAddMO3},
      {"BatchAddMOD", ".mod", &CS::BatchAddMOD},       {"BatchAddMP1", ".mp1", &CS::BatchAddMP1},
      {"BatchAddMP2", ".mp2", &CS::BatchAddMP2},       {"BatchAddMTM", ".mtm", &CS::BatchAddMTM},
      {"BatchAddOGG", ".ogg", &CS::BatchAddOGG},       {"BatchAddS3M", ".s3m", &CS::BatchAddS3M},
      {"BatchAddUMX", ".umx", &CS::BatchAddUMX},       {"BatchAddXM", ".xm", &CS::BatchAddXM},
      {"BatchAddAU", ".au", &CS::BatchAddAU},          {"BatchAddSND", ".snd", &CS::BatchAddSND},
      {"BatchAddAMR", ".amr", &CS::BatchAddAMR},       {"BatchAddOGA", ".oga", &CS::BatchAddOGA},
      {"BatchAddAIFF", ".aiff", &CS::BatchAddAIFF},    {"BatchAddAIF", ".aif", &CS::BatchAddAIF},
      {"BatchAddAIFC", ".aifc", &CS::BatchAddAIFC},    {"BatchAddAFC", ".afc", &CS::BatchAddAFC},
      {"BatchAddCDA", ".cda", &CS::BatchAddCDA},       {"BatchAddFLAC", ".flac", &CS::BatchAddFLAC},
      {"BatchAddWMA", ".wma", &CS::BatchAddWMA},       {"BatchAddWMV", ".wmv", &CS::BatchAddWMV},
      {"BatchAddASF", ".asf", &CS::BatchAddASF},       {"BatchAddWV", ".wv", &CS::BatchAddWV},
      {"BatchAddAAC", ".aac", &CS::BatchAddAAC},       {"BatchAddM4A", ".m4a", &CS::BatchAddM4A},
      {"BatchAddM4B", ".m4b", &CS::BatchAddM4B},       {"BatchAddMP4", ".mp4", &CS::BatchAddMP4},
      {"BatchAddM4V", ".m4v", &CS::BatchAddM4V},       {"BatchAddAC3", ".ac3", &CS::BatchAddAC3},
      {"BatchAddADX", ".adx", &CS::BatchAddADX},       {"BatchAddAPE", ".ape", &CS::BatchAddAPE},
      {"BatchAddMAC", ".mac", &CS::BatchAddMAC},       {"BatchAddMPC", ".mpc", &CS::BatchAddMPC},
      {"BatchAddMPplus", ".mp+", &CS::BatchAddMPplus}, {"BatchAddMPP", ".mpp", &CS::BatchAddMPP},
      {"BatchAddSPX", ".spx", &CS::BatchAddSPX},       {"BatchAddTTA", ".tta", &CS::BatchAddTTA},
  };
  return flags;
}

const std::vector<SettingField>& SettingFields() {
  static const std::vector<SettingField> fields = [] {
    std::vector<SettingField> f = {
        Text("Folder", &CS::Folder, 4),
        Int("DestOutputFolderOpt", &CS::DestOutputFolderOpt),
        Text("DestSpecifiedFolder", &CS::DestSpecifiedFolder),
        Int("CreateDirs", &CS::CreateDirs),
        Int("BrowseOutputFolder", &CS::BrowseOutputFolder),
        Int("OutputFiles2MyDocuments", &CS::OutputFiles2MyDocuments),
        Int("TargetExistsOpt", &CS::TargetExistsOpt),
        Int("MonoType", &CS::MonoType),
    };
    // The flags are loaded in the order the store has always used, not declaration order.
    static const char* const kFlagLoadOrder[] = {
        "BatchAddMP3",    "BatchAddWAV", "BatchAddMP2",  "BatchAddMP1", "BatchAddOGG",
        "BatchAddMOD",    "BatchAddIT",  "BatchAddMTM",  "BatchAddS3M", "BatchAddUMX",
        "BatchAddXM",     "BatchAddMO3", "BatchAddAU",   "BatchAddSND", "BatchAddOGA",
        "BatchAddAIFF",   "BatchAddAIF", "BatchAddAIFC", "BatchAddAFC", "BatchAddCDA",
        "BatchAddFLAC",   "BatchAddWMA", "BatchAddWMV",  "BatchAddASF", "BatchAddWV",
        "BatchAddAAC",    "BatchAddM4A", "BatchAddM4B",  "BatchAddMP4", "BatchAddM4V",
        "BatchAddAC3",    "BatchAddADX", "BatchAddAPE",  "BatchAddMAC", "BatchAddMPC",
        "BatchAddMPplus", "BatchAddMPP", "BatchAddSPX",  "BatchAddTTA", "BatchAddAMR"};
    for (const char* name : kFlagLoadOrder) {
      for (const auto& flag : BatchAddFlags())
        if (std::strcmp(flag.name, name) == 0) f.push_back(Int(flag.name, flag.field));
    }
    f.push_back(Int("BatchAddCUE", &CS::BatchAddCUE));
    const SettingField rest[] = {
        Int("OutputFormat", &CS::OutputFormat, 16),
        Int("AutoDestMP3EncodingParam", &CS::AutoDestMP3EncodingParam),
        Int("MP3BitRate", &CS::MP3BitRate),
        Int("MP3SampleRate", &CS::MP3SampleRate),
        Int("MP3ChannelMode", &CS::MP3ChannelMode),
        Int("AutoDestWAVEncodingParam", &CS::AutoDestWAVEncodingParam),
        Int("WAVBitsPerSample", &CS::WAVBitsPerSample),
        Int("WAVSampleRate", &CS::WAVSampleRate),
        Int("WAVChannelNum", &CS::WAVChannelNum),
        Int("AutoDestAACEncodingParam", &CS::AutoDestAACEncodingParam),
        Int("AACVBR", &CS::AACVBR),
        Int("AACVBRQuality", &CS::AACVBRQuality),
        Int("AACABRBitRate", &CS::AACABRBitRate),
        Int("AACMpegVersion", &CS::AACMpegVersion),
        Int("AACEnableTNS", &CS::AACEnableTNS),
        Int("AACEnableMidside", &CS::AACEnableMidside),
        Int("AACBlockType", &CS::AACBlockType),
        Int("AmplifyAAC", &CS::AmplifyAAC),
        Int("AmplifyAACCoef", &CS::AmplifyAACCoef),
        Int("AutoDestM4AEncodingParam", &CS::AutoDestM4AEncodingParam),
        Int("M4AVBR", &CS::M4AVBR),
        Int("M4AVBRQuality", &CS::M4AVBRQuality),
        Int("M4AABRBitRate", &CS::M4AABRBitRate),
        Int("M4AEnableTNS", &CS::M4AEnableTNS),
        Int("M4AEnableMidside", &CS::M4AEnableMidside),
        Int("M4ABlockType", &CS::M4ABlockType),
        Int("AmplifyM4A", &CS::AmplifyM4A),
        Int("AmplifyM4ACoef", &CS::AmplifyM4ACoef),
        Int("M4AID3TagType", &CS::M4AID3TagType),
        Tag("M4AID3Tag", &CS::M4AID3Tag),
        Int("MP3ID3TagType", &CS::MP3ID3TagType),
        Tag("MP3ID3Tag", &CS::MP3ID3Tag),
        Int("AmplifyMp3", &CS::AmplifyMp3),
        Int("AmplifyMp3Coeff", &CS::AmplifyMp3Coeff),
        Int("AmplifyWav", &CS::AmplifyWav),
        Int("AmplifyWavCoeff", &CS::AmplifyWavCoeff),
        Int("ConvertJobs", &CS::ConvertJobs),
        Int("VerifyOutputs", &CS::VerifyOutputs),
        Int("MP3EncodingMode", &CS::MP3EncodingMode),
        Int("MP3VBRQuality", &CS::MP3VBRQuality),
        Int("MP3ABRBitRate", &CS::MP3ABRBitRate),
        Int("FLACCompression", &CS::FLACCompression),
        Int("FLACBitsPerSample", &CS::FLACBitsPerSample),
        Int("ALACBitsPerSample", &CS::ALACBitsPerSample),
        Int("OpusBitRate", &CS::OpusBitRate),
        Int("OpusVBR", &CS::OpusVBR),
        Int("OpusSignal", &CS::OpusSignal),
        Int("VorbisMode", &CS::VorbisMode),
        Int("VorbisQuality", &CS::VorbisQuality),
        Int("VorbisBitRate", &CS::VorbisBitRate),
        Int("VorbisCommentTagType", &CS::VorbisCommentTagType),
        Tag("VorbisCommentTag", &CS::VorbisCommentTag),
        Text("NamePattern", &CS::NamePattern),
        Text("NamePatternBase", &CS::NamePatternBase),
        Int("FatSafeNames", &CS::FatSafeNames),
        Int("SyncOutputs", &CS::SyncOutputs),
        Int("RemoveOrphans", &CS::RemoveOrphans),
        Int("TrashSources", &CS::TrashSources),
        Int("ReplayGainMode", &CS::ReplayGainMode),
        Int("NormaliseLoudness", &CS::NormaliseLoudness),
        Int("NormaliseTarget", &CS::NormaliseTarget),
        Int("UseDesktopLook", &CS::UseDesktopLook),
    };
    f.insert(f.end(), std::begin(rest), std::end(rest));
    return f;
  }();
  return fields;
}

const SettingField* FindSettingField(const std::string& name) {
  for (const auto& f : SettingFields())
    if (name == f.name) return &f;
  return nullptr;
}

std::int32_t CorrectLoadedValue(const std::string& name, std::int32_t value) {
  if (name == "MP3ChannelMode")
    return (value == 0 || value == 1 || value == 3 || value == 4) ? value : 1;
  if (name == "WAVChannelNum") return (value >= 0 && value <= 2) ? value : 2;
  if (name == "M4AID3TagType") return (value >= 0 && value <= 2) ? value : 2;
  if (name == "AmplifyMp3Coeff" || name == "AmplifyWavCoeff") return std::clamp(value, 10, 3000);
  if (name == "ConvertJobs")
    return value >= 1 && value <= kMaxConvertJobs ? value : DefaultConvertJobs();
  if (name == "VerifyOutputs") return value == 0 || value == 1 ? value : 0;
  if (name == "DestOutputFolderOpt")
    return value == kFolderCustom || value == kFolderPattern ? value : kFolderSameAsSource;
  if (name == "FatSafeNames" || name == "SyncOutputs" || name == "RemoveOrphans" ||
      name == "TrashSources" || name == "UseDesktopLook")
    return value == 0 || value == 1 ? value : 0;
  // Rates and widths that no page offers would make outputs of no samples at all (1 Hz) or
  // that no writer makes: they give the default, as "same as the source" (0) stays.
  const auto offered = [value](std::initializer_list<int> choices) {
    return value == 0 || std::find(choices.begin(), choices.end(), value) != choices.end();
  };
  if (name == "WAVSampleRate")
    return offered(
               {6000, 8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000, 88200, 96000})
               ? value
               : 44100;
  if (name == "MP3SampleRate")
    return offered({8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000}) ? value : 44100;
  if (name == "WAVBitsPerSample") return offered({8, 16, 24, 32}) ? value : 16;
  // The options of the later targets, each held to what its page offers.
  const auto within = [value](int low, int high, int fallback) {
    return value >= low && value <= high ? value : fallback;
  };
  if (name == "MP3EncodingMode") return within(0, 2, 0);
  if (name == "MP3VBRQuality") return within(0, 9, 2);
  if (name == "MP3ABRBitRate") return within(8, 320, 160);
  if (name == "FLACCompression") return within(0, 8, 5);
  if (name == "FLACBitsPerSample" || name == "ALACBitsPerSample")
    return value == 0 || value == 16 ? value : 0;
  if (name == "OpusBitRate") return within(6, 512, 128);
  if (name == "OpusVBR") return within(0, 1, 1);
  if (name == "OpusSignal") return within(0, 1, 0);
  if (name == "VorbisMode") return within(0, 1, 0);
  if (name == "VorbisQuality") return within(-1, 10, 5);
  if (name == "VorbisBitRate") return within(32, 500, 160);
  if (name == "VorbisCommentTagType") return within(0, 2, kTagTransfer);
  if (name == "ReplayGainMode") return within(0, 2, 0);
  if (name == "NormaliseLoudness") return within(0, 1, 0);
  if (name == "NormaliseTarget") return within(-31, -5, -18);
  return value;
}

std::int32_t DefaultConvertJobs() {
  const unsigned cpus = std::thread::hardware_concurrency();
  return static_cast<std::int32_t>(std::clamp(cpus, 1u, static_cast<unsigned>(kMaxConvertJobs)));
}

}  // namespace wavorax

#include "app/ConversionSettings.h"

#include <algorithm>
#include <cstring>
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
  return value;
}

std::int32_t DefaultConvertJobs() {
  const unsigned cpus = std::thread::hardware_concurrency();
  return static_cast<std::int32_t>(std::clamp(cpus, 1u, static_cast<unsigned>(kMaxConvertJobs)));
}

int Mp3ChannelModeFromPageIndex(int index) {
  static const int kModes[] = {1, 0, 3, 4};
  return index >= 0 && index < 4 ? kModes[index] : 4;
}

int Mp3PageIndexFromChannelMode(int mode) {
  switch (mode) {
    case 0:
      return 1;
    case 1:
      return 0;
    case 3:
      return 2;
    default:
      return 3;
  }
}

int WavChannelsFromPageIndex(int index) {
  static const int kChannels[] = {2, 1, 0};
  return index >= 0 && index < 3 ? kChannels[index] : 0;
}

int WavPageIndexFromChannels(int channels) {
  switch (channels) {
    case 1:
      return 1;
    case 2:
      return 0;
    default:
      return 2;
  }
}

void WriteBackMp3(ConversionSettings& s, const Mp3PageValues& page) {
  if (page.automatic) {
    s.AutoDestMP3EncodingParam = 1;
    return;
  }
  s.AutoDestMP3EncodingParam = 0;
  s.MP3BitRate = page.bitRate;
  s.MP3SampleRate = page.sampleRate;
  s.MP3ChannelMode = Mp3ChannelModeFromPageIndex(page.channelIndex);
}

void WriteBackWav(ConversionSettings& s, const WavPageValues& page) {
  if (page.automatic) {
    s.AutoDestWAVEncodingParam = 1;
    return;
  }
  s.AutoDestWAVEncodingParam = 0;
  s.WAVSampleRate = page.sampleRate;
  s.WAVChannelNum = WavChannelsFromPageIndex(page.channelIndex);
  s.WAVBitsPerSample = page.bitsPerSample;
}

void WriteBackAac(ConversionSettings& s, const AacPageValues& page) {
  s.AutoDestAACEncodingParam = page.automatic ? 1 : 0;
  if (page.automatic) return;
  s.AACVBR = page.rateControlIndex == 1 ? 1 : 0;
  s.AACVBRQuality = page.vbrQuality;
  s.AACABRBitRate = page.abrBitRate;
  s.AACMpegVersion = page.mpegVersionIndex == 1 ? 1 : 0;
  s.AACEnableTNS = page.tns ? 1 : 0;
  s.AACEnableMidside = page.midSide ? 1 : 0;
  s.AACBlockType = page.blockType;
}

void WriteBackM4a(ConversionSettings& s, const AacPageValues& page) {
  s.AutoDestM4AEncodingParam = page.automatic ? 1 : 0;
  if (page.automatic) return;
  s.M4AVBR = page.rateControlIndex == 1 ? 1 : 0;
  s.M4AVBRQuality = page.vbrQuality;
  s.M4AABRBitRate = page.abrBitRate;
  s.M4AEnableTNS = page.tns ? 1 : 0;
  s.M4AEnableMidside = page.midSide ? 1 : 0;
  s.M4ABlockType = page.blockType;
}

Mp3PageValues Mp3PageFrom(const ConversionSettings& s) {
  return {s.AutoDestMP3EncodingParam != 0, s.MP3BitRate, s.MP3SampleRate,
          Mp3PageIndexFromChannelMode(s.MP3ChannelMode)};
}

WavPageValues WavPageFrom(const ConversionSettings& s) {
  return {s.AutoDestWAVEncodingParam != 0, s.WAVSampleRate,
          WavPageIndexFromChannels(s.WAVChannelNum), s.WAVBitsPerSample};
}

AacPageValues AacPageFrom(const ConversionSettings& s) {
  return {s.AutoDestAACEncodingParam != 0,
          s.AACVBR ? 1 : 0,
          s.AACVBRQuality,
          s.AACABRBitRate,
          s.AACMpegVersion == 1 ? 1 : 0,
          s.AACEnableTNS != 0,
          s.AACEnableMidside != 0,
          s.AACBlockType};
}

AacPageValues M4aPageFrom(const ConversionSettings& s) {
  return {s.AutoDestM4AEncodingParam != 0,
          s.M4AVBR ? 1 : 0,
          s.M4AVBRQuality,
          s.M4AABRBitRate,
          0,
          s.M4AEnableTNS != 0,
          s.M4AEnableMidside != 0,
          s.M4ABlockType};
}

std::string ExtensionOfTarget(int targetFormat) {
  switch (targetFormat) {
    case kTargetMp3:
      return ".mp3";
    case kTargetWav:
      return ".wav";
    case kTargetAac:
      return ".aac";
    case kTargetM4a:
      return ".m4a";
    case kTargetMp4:
      return ".mp4";
    case kTargetM4b:
      return ".m4b";
    default:
      return {};
  }
}

}  // namespace wavorax

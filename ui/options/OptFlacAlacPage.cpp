#include "ui/options/OptFlacAlacPage.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/options/PageValues.h"

namespace wavorax::ui {

namespace {

QComboBox* MakeWidthList(QWidget* parent) {
  return MakeCodedList(
      {{COptFlacAlacPage::tr("Same as the source"), 0}, {COptFlacAlacPage::tr("16 bits"), 16}},
      parent);
}

}  // namespace

COptFlacAlacPage::COptFlacAlacPage(QWidget* parent) : COptPage(parent) {
  CodedItems levels;
  for (int level = kFlacCompressionFastest; level <= kFlacCompressionSmallest; ++level)
    levels.emplace_back(QString::number(level), level);
  levels[kFlacCompressionFastest].first += tr(" (fastest)");
  levels[LosslessPageValues{}.flacCompression].first += tr(" (default)");
  levels[kFlacCompressionSmallest].first += tr(" (smallest)");
  compression_ = MakeCodedList(levels, this);
  flacBits_ = MakeWidthList(this);
  alacBits_ = MakeWidthList(this);
  tag_ = new CTagChoiceBox({tr("Add &tag"), tr("T&ransfer tags from source file"), tr("&None")},
                           tr("&Edit tag"), this);

  auto* note =
      new QLabel(tr("Every level keeps the sound exactly; higher levels take longer and make "
                    "slightly smaller files."),
                 this);
  note->setWordWrap(true);

  // One grid for both formats, so that their lists line up.
  auto* grid = new QGridLayout;
  grid->addWidget(MakeHeading(tr("FLAC Encoding Parameters"), this), 0, 0, 1, 3);
  grid->addWidget(MakeBuddyLabel(tr("&Compression Level:"), compression_, this), 1, 0);
  grid->addWidget(compression_, 1, 1);
  grid->addWidget(MakeBuddyLabel(tr("&Bits:"), flacBits_, this), 2, 0);
  grid->addWidget(flacBits_, 2, 1);
  grid->addWidget(note, 3, 0, 1, 3);
  grid->addWidget(MakeHeading(tr("ALAC Encoding Parameters"), this), 4, 0, 1, 3);
  grid->addWidget(MakeBuddyLabel(tr("B&its:"), alacBits_, this), 5, 0);
  grid->addWidget(alacBits_, 5, 1);
  grid->setColumnStretch(2, 1);
  auto* page = new QVBoxLayout(this);
  page->addLayout(grid);
  page->addWidget(MakeHeading(tr("Tags for FLAC, Opus and Ogg Vorbis"), this));
  page->addWidget(tag_);
  page->addWidget(
      new QLabel(tr("ALAC files take the tag choice of the MP4/M4A/M4B Options page."), this));
  page->addStretch(1);
}

void COptFlacAlacPage::Load(const ConversionSettings& s) {
  const LosslessPageValues v = LosslessPageFrom(s);
  SelectCode(compression_, v.flacCompression);
  SelectCode(flacBits_, v.flacBitsPerSample);
  SelectCode(alacBits_, v.alacBitsPerSample);
  tag_->Load(s.VorbisCommentTagType, s.VorbisCommentTag);
}

void COptFlacAlacPage::Store(ConversionSettings& s) const {
  WriteBackLossless(s,
                    {SelectedCode(compression_), SelectedCode(flacBits_), SelectedCode(alacBits_)});
  s.VorbisCommentTagType = tag_->Choice();
  s.VorbisCommentTag = tag_->Tag();
}

}  // namespace wavorax::ui

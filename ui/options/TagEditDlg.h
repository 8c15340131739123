// The dialog "Edit ID3 tag" that edits one TagRecord: the user's own tag for MP3 targets or for
// the MP4 family.
#pragma once

#include <QDialog>
#include <string>

#include "settings/TagRecord.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace wavorax::ui {

class CUpDown;

class CTagEditDlg : public QDialog {
  Q_OBJECT

 public:
  CTagEditDlg(const TagRecord& record, QWidget* parent);

  // The record as the dialog was confirmed; the record it opened with until then.
  const TagRecord& Record() const { return record_; }

  QRadioButton* TrackButton(int choice) const;
  QLineEdit* TrackEdit() const { return trackEdit_; }
  CUpDown* TrackSpin() const { return trackSpin_; }
  QCheckBox* UseFileName() const { return useFileName_; }
  QLineEdit* TitleEdit() const { return title_; }
  QLineEdit* ArtistEdit() const { return artist_; }
  QLineEdit* AlbumEdit() const { return album_; }
  QLineEdit* YearEdit() const { return year_; }
  QComboBox* GenreList() const { return genre_; }
  QLineEdit* CommentEdit() const { return comment_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }

  // Every check passes: the fields are read into the record and the dialog closes. Otherwise
  // the framework's message names the first failing field, which takes the focus.
  void accept() override;

 private:
  void UpdateEnabling();

  TagRecord record_;
  QButtonGroup* track_;
  QLineEdit* trackEdit_;
  CUpDown* trackSpin_;
  QCheckBox* useFileName_;
  QLineEdit* title_;
  QLineEdit* artist_;
  QLineEdit* album_;
  QLineEdit* year_;
  QComboBox* genre_;
  QLineEdit* comment_;
  QPushButton* ok_;
  QPushButton* cancel_;
};

// Opens the dialog on `record`; on OK the edited record replaces it and the result is true.
bool EditTag(TagRecord& record, QWidget* parent);

// `text` as UTF-8, cut after `maxCharacters` characters, never inside one. The record's text
// fields are stored one byte per character, so this is the cut that fits their bytes.
std::string CutToCharacters(const QString& text, int maxCharacters);

}  // namespace wavorax::ui

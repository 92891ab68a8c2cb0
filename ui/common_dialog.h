// Dialog: the window's one file chooser. It keeps what it was told and the
// last file chosen; the asking itself goes to a FilePicker, so that tests can
// answer in place of a person.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace ui {

// Asks for one existing file. Returns its full path with the platform's
// separators, or nothing when the person cancels.
class FilePicker {
 public:
  virtual ~FilePicker() = default;
  virtual std::optional<QString> PickFileToOpen(const QString& init_dir, const QStringList& name_filters) = 0;
};

// The toolkit's own modal file-open dialog.
class QtFilePicker : public FilePicker {
 public:
  explicit QtFilePicker(QWidget* owner) : owner_(owner) {}
  std::optional<QString> PickFileToOpen(const QString& init_dir, const QStringList& name_filters) override;

 private:
  QWidget* owner_;
};

using FilePickerFactory = std::function<std::unique_ptr<FilePicker>(QWidget* owner)>;

class CommonDialog {
 public:
  explicit CommonDialog(std::unique_ptr<FilePicker> picker) : picker_(std::move(picker)) {}

  void SetInitDir(const QString& dir) { init_dir_ = dir; }
  const QString& InitDir() const { return init_dir_; }

  // "description|pattern|description|pattern…"; a pattern may list several
  // wildcards separated by ';'.
  void SetFilter(const QString& filter) { filter_ = filter; }
  const QString& Filter() const { return filter_; }

  void SetFileName(const QString& name) { file_name_ = name; }
  const QString& FileName() const { return file_name_; }

  // Modal. A choice replaces FileName; a cancel leaves it as it was. Nothing
  // tells the caller which of the two happened.
  void ShowOpen();

 private:
  std::unique_ptr<FilePicker> picker_;
  QString init_dir_;
  QString filter_;
  QString file_name_;
};

// The toolkit's form of a filter: "Podatkovna baza |*.mdb" becomes
// {"Podatkovna baza (*.mdb)"}. A description without its pattern is dropped.
QStringList NameFilters(const QString& filter);

}  // namespace ui

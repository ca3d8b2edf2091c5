// The two keepers of the main window's placement: one in the registry (current user,
// "software\Morvik\Qadrel2" subkey named after the window), one in the host's "qdr.ini"
// section named after the window, which also keeps a few control texts. The host reads and
// writes the same values, so their names and forms stay fixed.
#ifndef TAVELIN_APP_PLACEMENT_H_
#define TAVELIN_APP_PLACEMENT_H_

#include <string>
#include <vector>

#include "platform/env.h"
#include "ui/form.h"

namespace tavelin {

inline constexpr char kPlacementRegistryRoot[] = "software\\Morvik\\Qadrel2";

// The values both keepers write, as the system's window placement gives them.
struct PlacementValues {
  int form_version = 0;
  int flags = 0;
  int show_cmd = 1;  // 1 normal, 2 minimised
  int pixels_per_inch = 96;
  int min_max[4] = {-1, -1, -1, -1};  // minimised x, y, maximised x, y
  int normal[4] = {0, 0, 0, 0};       // left, top, right, bottom
};

PlacementValues PlacementOf(const ui::Form& form);
// Moves the form to the normal rectangle of `values` (its size stays the window's own).
void ApplyPlacement(const PlacementValues& values, ui::Form& form);
// "a,b,c,d" <-> four integers; false (values untouched) for any other text.
std::string FormatFour(const int (&values)[4]);
bool ParseFour(const std::string& text, int (&values)[4]);

class PlacementKeeper {
 public:
  virtual ~PlacementKeeper() = default;
  // Sets what is stored; keeps the form as it is where nothing is.
  virtual void Restore(ui::Form& form) = 0;
  virtual void Save(const ui::Form& form) = 0;
  // True after a Restore() that no Save() followed.
  bool needs_save() const { return needs_save_; }

 protected:
  bool needs_save_ = false;
};

// FormPlacement1: the registry key kPlacementRegistryRoot + "\" + the form's name.
class RegistryPlacement : public PlacementKeeper {
 public:
  explicit RegistryPlacement(Env& env) : env_(env) {}
  void Restore(ui::Form& form) override;
  void Save(const ui::Form& form) override;

 private:
  Env& env_;
};

// FormStorage1: section named after the form in an INI file, with the placement and the
// text of each stored control under "<control name>_Text".
class IniPlacementStorage : public PlacementKeeper {
 public:
  IniPlacementStorage(Env& env, std::vector<ui::Control*> stored_texts)
      : env_(env), stored_texts_(std::move(stored_texts)) {}
  void SetIniFileName(const std::string& path) { ini_file_ = path; }
  const std::string& ini_file() const { return ini_file_; }
  void Restore(ui::Form& form) override;
  void Save(const ui::Form& form) override;

 private:
  Env& env_;
  std::vector<ui::Control*> stored_texts_;
  std::string ini_file_;
};

}  // namespace tavelin

#endif  // TAVELIN_APP_PLACEMENT_H_

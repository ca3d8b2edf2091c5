#include "app/placement.h"

#include <charconv>

#include "platform/profile_ini.h"

namespace tavelin {
namespace {

bool ParseInt(std::string_view text, int* value) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty()) return false;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return ec == std::errc() && ptr == text.data() + text.size();
}

// Applies an integer value read as text, when it is one.
void ReadInt(const std::string& text, int* value) {
  int parsed = 0;
  if (ParseInt(text, &parsed)) *value = parsed;
}

constexpr const char* kNames[] = {"FormVersion",   "Flags",     "ShowCmd",
                                  "PixelsPerInch", "MinMaxPos", "NormPos"};

// The six values as the texts both keepers store.
std::vector<std::string> ValueTexts(const PlacementValues& v) {
  return {std::to_string(v.form_version),    std::to_string(v.flags), std::to_string(v.show_cmd),
          std::to_string(v.pixels_per_inch), FormatFour(v.min_max),   FormatFour(v.normal)};
}

// Reads the six values through `read` (false when a value is absent).
template <typename ReadFn>
bool ReadValues(ReadFn read, PlacementValues* v) {
  std::string text;
  bool any = false;
  int* ints[] = {&v->form_version, &v->flags, &v->show_cmd, &v->pixels_per_inch};
  for (int i = 0; i < 4; ++i) {
    if (read(kNames[i], &text)) {
      ReadInt(text, ints[i]);
      any = true;
    }
  }
  if (read(kNames[4], &text)) ParseFour(text, v->min_max);
  if (read(kNames[5], &text)) any = ParseFour(text, v->normal) || any;
  return any;
}

}  // namespace

std::string FormatFour(const int (&values)[4]) {
  return std::to_string(values[0]) + "," + std::to_string(values[1]) + "," +
         std::to_string(values[2]) + "," + std::to_string(values[3]);
}

bool ParseFour(const std::string& text, int (&values)[4]) {
  int parsed[4];
  std::string_view rest = text;
  for (int i = 0; i < 4; ++i) {
    const size_t comma = i < 3 ? rest.find(',') : rest.size();
    if (comma == std::string_view::npos) return false;
    if (!ParseInt(rest.substr(0, comma), &parsed[i])) return false;
    rest.remove_prefix(i < 3 ? comma + 1 : comma);
  }
  for (int i = 0; i < 4; ++i) values[i] = parsed[i];
  return true;
}

PlacementValues PlacementOf(const ui::Form& form) {
  PlacementValues v;
  v.pixels_per_inch = form.pixels_per_inch();
  const ui::Rect& r = form.placement();
  const int width = r.width > 0 ? r.width : form.client_width();
  const int height = r.height > 0 ? r.height : form.client_height();
  v.normal[0] = r.left;
  v.normal[1] = r.top;
  v.normal[2] = r.left + width;
  v.normal[3] = r.top + height;
  return v;
}

void ApplyPlacement(const PlacementValues& values, ui::Form& form) {
  // The window has a fixed size at each resolution: only its position is taken over, so a
  // rectangle saved at another resolution still opens the window at its own size.
  ui::Rect r = form.placement();
  r.left = values.normal[0];
  r.top = values.normal[1];
  if (r.width <= 0) r.width = form.client_width();
  if (r.height <= 0) r.height = form.client_height();
  form.SetPlacement(r);
}

void RegistryPlacement::Restore(ui::Form& form) {
  const std::string key = std::string(kPlacementRegistryRoot) + "\\" + form.name();
  PlacementValues values = PlacementOf(form);
  auto read = [&](const char* name, std::string* text) {
    if (env_.RegistryReadString(key, name, text)) return true;
    uint32_t number = 0;
    if (!env_.RegistryReadInteger(key, name, &number)) return false;
    *text = std::to_string(static_cast<int32_t>(number));
    return true;
  };
  if (ReadValues(read, &values)) ApplyPlacement(values, form);
  needs_save_ = true;
}

void RegistryPlacement::Save(const ui::Form& form) {
  const std::string key = std::string(kPlacementRegistryRoot) + "\\" + form.name();
  const std::vector<std::string> texts = ValueTexts(PlacementOf(form));
  for (size_t i = 0; i < texts.size(); ++i) env_.RegistryWriteString(key, kNames[i], texts[i]);
  needs_save_ = false;
}

void IniPlacementStorage::Restore(ui::Form& form) {
  PlacementValues values = PlacementOf(form);
  auto read = [&](const char* name, std::string* text) {
    // An absent key reads as the marker, which no stored value can hold (CR is dropped).
    static const std::string kAbsent = "\r";
    *text = ReadProfileString(env_, ini_file_, form.name(), name, kAbsent);
    return *text != kAbsent;
  };
  if (ReadValues(read, &values)) ApplyPlacement(values, form);
  for (ui::Control* control : stored_texts_) {
    control->SetText(ReadProfileString(env_, ini_file_, form.name(), control->name() + "_Text",
                                       control->text()));
  }
  needs_save_ = true;
}

void IniPlacementStorage::Save(const ui::Form& form) {
  const std::vector<std::string> texts = ValueTexts(PlacementOf(form));
  for (size_t i = 0; i < texts.size(); ++i) {
    WriteProfileString(env_, ini_file_, form.name(), kNames[i], texts[i]);
  }
  for (const ui::Control* control : stored_texts_) {
    WriteProfileString(env_, ini_file_, form.name(), control->name() + "_Text", control->text());
  }
  needs_save_ = false;
}

}  // namespace tavelin

// Where each value of a JSON text stands, for messages that point into it:
// nlohmann-json keeps no positions for values, and takes a repeated key
// silently. A small scan of the text that nlohmann-json has accepted.
#ifndef SHEETKIT_JSON_PLACES_H_
#define SHEETKIT_JSON_PLACES_H_

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace sheetkit {

// A value's place: the JSON pointer ("/classes/1/upper", with "~0" for
// "~" and "~1" for "/" in keys) of each value, mapped to the byte offsets
// where the value and, in an object, its key start.
class json_places {
 public:
  // Values nested deeper than this are refused: nothing sheetkit reads
  // needs more, and the scan recurses.
  static constexpr int max_depth = 32;

  // Scans `text`, which must be JSON that nlohmann-json accepts. Throws
  // sheetgen::error "LINE:COLUMN: nested too deeply ..." when values nest
  // deeper than max_depth.
  explicit json_places(std::string_view text);

  // The offset of the value at `pointer`, or of the key that names it;
  // 0 when there is none.
  std::size_t value(const std::string& pointer) const;
  std::size_t key(const std::string& pointer) const;

  // A scalar value's text exactly as written (a number's digits).
  std::string_view raw(const std::string& pointer) const;

  // The first key that repeats one before it in the same object: the
  // pointer of the repeat (whose key() is its place).
  const std::optional<std::string>& repeated_key() const { return repeated_; }

  // "LINE:COLUMN" of a byte offset in `text`, both from 1, the column in bytes.
  static std::string line_column(std::string_view text, std::size_t offset);

  // `pointer` and one step more.
  static std::string child(const std::string& pointer, std::string_view key);
  static std::string child(const std::string& pointer, std::size_t index);

 private:
  struct place {
    std::size_t key = 0;
    std::size_t value = 0;
    std::size_t end = 0;
  };

  void skip_space();
  std::size_t scan_value(const std::string& pointer, int depth);
  void skip_string();

  std::string_view text_;
  std::size_t at_ = 0;
  std::map<std::string, place> places_;
  std::optional<std::string> repeated_;
};

}  // namespace sheetkit

#endif  // SHEETKIT_JSON_PLACES_H_

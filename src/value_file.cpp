#include <sheetgen/families.h>
#include <sheetgen/value_file.h>

#include <charconv>
#include <string>

namespace sheetgen {

void append_value_block(std::span<const int64_t> values, std::span<const int64_t> copies,
                        std::string& out) {
  char number[24];
  for (std::size_t k = 0; k < values.size(); ++k) {
    const auto end = std::to_chars(number, number + sizeof number, values[k]).ptr;
    out.append(number, end);
    out += '\t';
    if (copies[k] == unlimited_copies) {
      out += "unlimited";
    } else {
      out.append(number, std::to_chars(number, number + sizeof number, copies[k]).ptr);
    }
    out += '\n';
  }
  out += '\n';
}

value_reader::value_reader(std::istream& in, std::string name) : in_(in), name_(std::move(name)) {
  if (!in_) throw error(name_ + ": cannot be read");
}

namespace {

// A number as the writer writes it: decimal digits, no sign, no leading
// zero, within `largest`.
bool whole(std::string_view text, int64_t largest, int64_t& out) {
  if (text.empty() || text.size() > 19 || (text.size() > 1 && text[0] == '0')) return false;
  for (const char c : text)
    if (c < '0' || c > '9') return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && end == text.data() + text.size() && out <= largest;
}

}  // namespace

bool value_reader::next(std::vector<item_value>& values) {
  values.clear();
  block_line_ = line_ + 1;
  while (true) {
    if (!std::getline(in_, text_)) {
      if (in_.bad()) throw error(name_ + ":" + std::to_string(line_ + 1) + ": cannot be read");
      if (text_.empty() && values.empty() && in_.eof()) return false;
      throw error(name_ + ":" + std::to_string(line_ + 1) +
                  (text_.empty() ? ": the block has no empty line after it (cut short?)"
                                 : ": the line has no line break (cut short?)"));
    }
    ++line_;
    if (in_.eof()) {
      throw error(name_ + ":" + std::to_string(line_) +
                  ": the line has no line break (cut short?)");
    }
    if (!text_.empty() && text_.back() == '\r') text_.pop_back();
    const std::string at = name_ + ":" + std::to_string(line_) + ": ";
    if (text_.empty()) return true;
    if (values.size() == static_cast<std::size_t>(MAXMOD))
      throw error(at + "more than " + std::to_string(MAXMOD) + " item types in one block");
    const std::size_t tab = text_.find('\t');
    if (tab == std::string::npos || text_.find('\t', tab + 1) != std::string::npos) {
      throw error(at + "expected \"VALUE<tab>COPIES\", not \"" + text_ + "\"");
    }
    const std::string_view line(text_);
    item_value v;
    if (!whole(line.substr(0, tab), int64_t{1} << 62, v.value))
      throw error(at + "the value \"" + std::string(line.substr(0, tab)) +
                  "\" is not a whole number from 0 to 2^62 as the writer writes it");
    const std::string_view copies = line.substr(tab + 1);
    if (copies == "unlimited") {
      v.copies = unlimited_copies;
    } else if (!whole(copies, int64_t{1} << 62, v.copies) || v.copies < 1) {
      throw error(at + "the copies \"" + std::string(copies) +
                  "\" are neither a positive whole number nor unlimited");
    }
    values.push_back(v);
  }
}

}  // namespace sheetgen

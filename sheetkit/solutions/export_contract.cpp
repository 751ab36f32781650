#include "solutions/export_contract.h"

#include <sheetgen/types.h>
#include <sheetgen/visible_bytes.h>

#include <array>
#include <charconv>
#include <fstream>

#include "files/export_layout.h"
#include "files/files.h"
#include "files/regular_file.h"

namespace sheetkit {

namespace {

// The rows of one CSV file of the export, each as `n` integers.
template <std::size_t n>
std::vector<std::array<int64_t, n>> read_rows(const std::filesystem::path& path,
                                              const std::string& header) {
  // The export's files are plain ones: a link or FIFO here is no export.
  require_plain_file(path);
  const std::string name = path.string();
  std::ifstream in = open_input(name);
  std::vector<std::array<int64_t, n>> rows;
  std::string line;
  int64_t number = 0;
  const auto fail = [&](const std::string& what) {
    throw sheetgen::error(name + ":" + std::to_string(number) + ": " + what);
  };
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (number == 1) {
      if (line != header)
        fail("header \"" + sheetgen::visible_bytes(line) + "\" where the export writes " + header);
      continue;
    }
    std::array<int64_t, n> row{};
    const char* p = line.data();
    const char* end = line.data() + line.size();
    for (std::size_t k = 0; k < n; ++k) {
      const auto [next, ec] = std::from_chars(p, end, row[k]);
      if (ec != std::errc() || (k + 1 < n ? (next == end || *next != ',') : next != end))
        fail(std::string("\"") + sheetgen::visible_bytes(line) + "\" is not " + std::to_string(n) +
             " integers separated by commas (" + header + ")");
      p = next + 1;
    }
    rows.push_back(row);
  }
  read_failed(in, name);
  if (number == 0)
    throw sheetgen::error(name + ":1: the file is empty; the export writes " + header);
  return rows;
}

// The COPIES the export writes for a type of `area` under `terms`:
// unlimited as the most copies that could fit the object by area.
int64_t written_copies(const export_terms& terms, int64_t area, int64_t object_area) {
  if (terms.copies != unlimited_copies) return terms.copies;
  return area > 0 ? (object_area - 1) / area + 1 : 1;
}

std::string terms_text(const export_terms& t) {
  return "--copies " +
         (t.copies == unlimited_copies ? std::string("unlimited") : std::to_string(t.copies)) +
         (t.rotation ? " --rotation" : "");
}

}  // namespace

std::optional<export_terms> parse_export_record(std::string_view line) {
  constexpr std::string_view head = "sheetkit suite export --to packingsolver --copies ";
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (line.substr(0, head.size()) != head) return std::nullopt;
  line.remove_prefix(head.size());
  export_terms t;
  constexpr std::string_view turn = " --rotation";
  if (line.size() > turn.size() && line.substr(line.size() - turn.size()) == turn) {
    t.rotation = true;
    line.remove_suffix(turn.size());
  }
  if (line == "unlimited") {
    t.copies = unlimited_copies;
    return t;
  }
  int64_t n = 0;
  const auto [end, ec] = std::from_chars(line.data(), line.data() + line.size(), n);
  if (ec != std::errc() || end != line.data() + line.size() || n < 1 || line[0] == '0')
    return std::nullopt;
  t.copies = n;
  return t;
}

export_contract read_export_contract(const std::filesystem::path& dir,
                                     const solution_instance& instance,
                                     const std::optional<export_terms>& terms) {
  export_contract c;
  const std::string stale = "; the export is not of these files (stale, or changed since)";
  const auto differ = [&](const std::filesystem::path& file, std::size_t row,
                          const std::string& what) {
    c.differences.push_back(file.string() + ":" + std::to_string(row + 2) + ": " + what + stale);
  };

  const std::filesystem::path items_file = dir / export_items_file;
  const auto items = read_rows<5>(items_file, "WIDTH,HEIGHT,PROFIT,COPIES,ORIENTED");
  const int64_t object_area = int64_t{instance.object.length} * instance.object.width;
  // A row's area: our type's, or the row's own sides (capped) past ours.
  const auto area_of = [&](std::size_t k) -> int64_t {
    if (k < instance.items.size()) return instance.items[k].area;
    int64_t a = 0;
    return __builtin_mul_overflow(items[k][0], items[k][1], &a) ? INT64_MAX : a;
  };
  // Without a record: the terms of the first row, or unlimited copies
  // where every row has the count that unlimited writes.
  if (terms) {
    c.terms = *terms;
  } else if (!items.empty()) {
    c.terms.copies = items[0][3];
    c.terms.rotation = items[0][4] == 0;
    bool same = true, as_unlimited = true;
    for (std::size_t k = 0; k < items.size(); ++k) {
      same = same && items[k][3] == items[0][3];
      as_unlimited = as_unlimited && items[k][3] == written_copies({unlimited_copies, false},
                                                                   area_of(k), object_area);
    }
    if (!same && as_unlimited) c.terms.copies = unlimited_copies;
  }
  for (std::size_t k = 0; k < items.size(); ++k) {
    const auto& [length, width, profit, copies, oriented] = items[k];
    // A family run's type has the copies of its value file, whatever --copies says.
    const bool valued = k < instance.values.size() && k < instance.items.size();
    const export_terms row_terms{valued ? instance.values[k].copies : c.terms.copies,
                                 c.terms.rotation};
    c.copies.push_back(row_terms.copies);
    c.rotation.push_back(c.terms.rotation);
    // What the solver was told is what the export was asked: a row edited
    // since (or out of the format's range) would change the rules.
    const int64_t want_copies = written_copies(row_terms, area_of(k), object_area);
    const int64_t want_oriented = c.terms.rotation ? 0 : 1;
    if (copies != want_copies || oriented != want_oriented) {
      differ(items_file, k,
             "item type " + std::to_string(k) + " has COPIES " + std::to_string(copies) +
                 " and ORIENTED " + std::to_string(oriented) + ", where the export (" +
                 (valued ? "the value file's copies" : terms_text(c.terms)) + ") writes COPIES " +
                 std::to_string(want_copies) + " and ORIENTED " + std::to_string(want_oriented));
    }
    if (k >= instance.items.size()) {
      differ(items_file, k,
             "item type " + std::to_string(k) + " is not ours: the instance has " +
                 std::to_string(instance.items.size()));
      continue;
    }
    const rectangle& t = instance.items[k];
    // A family run's value where it has one; the area otherwise.
    const int64_t value = k < instance.values.size() ? instance.values[k].value : t.area;
    if (length != t.length || width != t.width || profit != value) {
      differ(items_file, k,
             "item type " + std::to_string(k) + " is " + std::to_string(length) + " x " +
                 std::to_string(width) + " (PROFIT " + std::to_string(profit) + ") here, " +
                 std::to_string(t.length) + " x " + std::to_string(t.width) +
                 (k < instance.values.size() ? " (value " : " (area ") + std::to_string(value) +
                 ") in ours");
    }
  }
  if (items.size() < instance.items.size()) {
    c.differences.push_back(items_file.string() + ": " + std::to_string(items.size()) +
                            " item types where the instance has " +
                            std::to_string(instance.items.size()) + stale);
  }

  const std::filesystem::path bins_file = dir / export_bins_file;
  const auto bins = read_rows<3>(bins_file, "WIDTH,HEIGHT,COPIES");
  if (bins.size() != 1 || bins[0][0] != instance.object.length ||
      bins[0][1] != instance.object.width || bins[0][2] != 1) {
    c.differences.push_back(bins_file.string() + ": not the one bin " +
                            std::to_string(instance.object.length) + "," +
                            std::to_string(instance.object.width) + ",1 of the object" + stale);
  }

  const std::filesystem::path defects_file = dir / export_defects_file;
  const auto defects = read_rows<5>(defects_file, "BIN,X,Y,WIDTH,HEIGHT");
  for (std::size_t k = 0; k < defects.size(); ++k) {
    const auto& [bin, x, y, length, width] = defects[k];
    if (k >= instance.defects.size()) {
      differ(defects_file, k,
             "defect " + std::to_string(k + 1) + " (ID " + std::to_string(k) +
                 " in defects.csv) is not ours: the instance has " +
                 std::to_string(instance.defects.size()));
      continue;
    }
    const placed_defect& d = instance.defects[k];
    if (bin != 0 || x != d.x1 || y != d.y1 || length != int64_t{d.x2} - d.x1 ||
        width != int64_t{d.y2} - d.y1) {
      differ(defects_file, k,
             "defect " + std::to_string(k + 1) + " (ID " + std::to_string(k) +
                 " in defects.csv) is not ours (x " + std::to_string(d.x1) + " to " +
                 std::to_string(d.x2) + ", y " + std::to_string(d.y1) + " to " +
                 std::to_string(d.y2) + ")");
    }
  }
  if (defects.size() < instance.defects.size()) {
    c.differences.push_back(defects_file.string() + ": " + std::to_string(defects.size()) +
                            " defects where the instance has " +
                            std::to_string(instance.defects.size()) + stale);
  }
  return c;
}

}  // namespace sheetkit

#include "suites/suite_manifest.h"

#include <algorithm>
#include <utility>

#include "suites/suite_files.h"
#include "suites/suite_plan.h"
#include "suites/suite_work.h"

namespace sheetkit {

namespace {

constexpr std::string_view manifest_header = "# sheetgen suite manifest 1\tsheetgen ";

// Each row beside what it is sorted by.
using keyed_rows = std::vector<std::pair<std::string, std::string>>;

std::string joined(const keyed_rows& rows) {
  std::string text;
  for (const auto& row : rows) text += row.second;
  return text;
}

keyed_rows sorted(keyed_rows rows) {
  // std::string compares bytes as unsigned char: byte order.
  std::sort(rows.begin(), rows.end());
  return rows;
}

}  // namespace

std::string manifest_text(std::string_view suite, std::string_view version,
                          const std::vector<set_record>& sets, bool laws) {
  keyed_rows rows;
  for (const set_record& s : sets) {
    const suite_class& c = *s.cls;
    const std::string set = set_name(c, s.seed);
    std::string head = set + "\t" + c.name + "\t" + std::to_string(s.seed) + "\t";
    head += c.manifest_columns() + "\t" + std::string(s.status) + "\t";
    std::string tail;
    if (laws) tail.append("\t").append(c.law());
    tail += '\n';
    if (s.files.empty()) rows.emplace_back(set, head + "-\t-\t-" + tail);
    for (const set_file& f : s.files) {
      const std::string file = set + "/" + f.name;
      rows.emplace_back(file,
                        head + file + "\t" + std::to_string(f.bytes) + "\t" + f.sha256 + tail);
    }
  }
  return std::string(manifest_header) + std::string(version) + "\tsuite " + std::string(suite) +
         "\n" +
         "set\tclass\tseed\tinstances\tlength\twidth\titem_types\tlower\tupper\tdefects\tstatus\t"
         "file\tbytes\tsha256" +
         (laws ? "\tlaw\n" : "\n") + joined(sorted(std::move(rows)));
}

std::string manifest_version(std::string_view manifest) {
  if (manifest.substr(0, manifest_header.size()) != manifest_header) return "";
  const std::string_view rest = manifest.substr(manifest_header.size());
  return std::string(rest.substr(0, rest.find_first_of("\t\n")));
}

std::string sums_text(const std::vector<set_record>& sets) {
  keyed_rows rows;
  for (const set_record& s : sets) {
    for (const set_file& f : s.files) {
      const std::string file = set_name(*s.cls, s.seed) + "/" + f.name;
      rows.emplace_back(file, f.sha256 + "  " + file + "\n");
    }
  }
  return joined(sorted(std::move(rows)));
}

uint64_t max_manifest_bytes(const suite_definition& suite) {
  uint64_t bytes = 4096;  // the header, with the suite's name and the version
  for (const suite_class& c : suite.classes) {
    // The longest row: the set twice and a file, the class, numbers at
    // their widest, the bounds, the defects, the status and the digest.
    const uint64_t row = 3 * (c.name.size() + 13) + c.name.size() + 20 + 4 * 11 + c.lower.size() +
                         c.upper.size() + c.manifest_columns().size() + c.law().size() + 24 + 20 +
                         64 + 16;
    // A seed of "complete" comes after fewer than max_aborts_in_a_row that abort.
    const uint64_t seeds = c.complete ? static_cast<uint64_t>(c.count * max_aborts_in_a_row)
                                      : static_cast<uint64_t>(c.seeds.size());
    bytes += seeds * 3 * row;
  }
  return bytes;
}

std::string done_text(const set_record& set) {
  std::string text = "status\t" + std::string(set.status) + "\n";
  for (const set_file& f : set.files) {
    text += f.name + "\t" + std::to_string(f.bytes) + "\t" + f.sha256 + "\n";
  }
  return text;
}

std::vector<std::string> set_file_names(const suite_class& c, std::string_view status) {
  // The files the run leaves: no defect file after the repair abort.
  std::vector<std::string> names{c.source_file()};
  if (c.has_defect_file() && status == status_completed) names.push_back(suite_files::defects);
  names.push_back(suite_files::instances);
  if (c.family) names.push_back(suite_files::values);
  return names;
}

std::optional<set_record> read_done(std::string_view text, const suite_class& c, int32_t seed) {
  set_record set{&c, seed, {}, {}};
  std::size_t at = 0;
  const auto line = [&]() -> std::optional<std::string_view> {
    const std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) return std::nullopt;
    const std::string_view l = text.substr(at, end - at);
    at = end + 1;
    return l;
  };
  const auto status = line();
  if (!status) return std::nullopt;
  for (const std::string_view s : {status_completed, status_repair_abort}) {
    if (*status == "status\t" + std::string(s)) set.status = s;
  }
  if (set.status.empty()) return std::nullopt;
  while (const auto l = line()) {
    const std::size_t tab = l->find('\t');
    const std::size_t tab2 = l->find('\t', tab + 1);
    if (tab2 == std::string_view::npos) return std::nullopt;
    set_file f{std::string(l->substr(0, tab)), 0, std::string(l->substr(tab2 + 1))};
    const std::string_view bytes = l->substr(tab + 1, tab2 - tab - 1);
    if (bytes.empty() || bytes.size() > 19 ||
        !std::all_of(bytes.begin(), bytes.end(), [](char ch) { return ch >= '0' && ch <= '9'; })) {
      return std::nullopt;
    }
    f.bytes = std::stoull(std::string(bytes));
    set.files.push_back(std::move(f));
  }
  const std::vector<std::string> names = set_file_names(c, set.status);
  const bool named =
      std::equal(names.begin(), names.end(), set.files.begin(), set.files.end(),
                 [](const std::string& n, const set_file& f) {
                   return n == f.name && f.sha256.size() == 64 &&
                          f.sha256.find_first_not_of("0123456789abcdef") == std::string::npos;
                 });
  if (at != text.size() || !named) return std::nullopt;
  return set;
}

}  // namespace sheetkit

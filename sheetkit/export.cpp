#include "export.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

#include "files.h"
#include "text.h"

namespace sheetkit {

namespace {

void put(std::string& out, int64_t v) {
  char text[24];
  out.append(text, std::to_chars(text, text + sizeof text, v).ptr);
}
void put(std::string& out, int32_t v) { put(out, int64_t{v}); }

// The shortest decimal that reads back to the same float; null for what
// JSON cannot hold (the dialogue lets no such bound through).
void put(std::string& out, float v) { out += std::isfinite(v) ? shortest_text(v) : "null"; }

// Integers separated by commas.
template <typename... Values>
void put_joined(std::string& out, Values... values) {
  bool first = true;
  ((out += first ? "" : ",", first = false, put(out, static_cast<int64_t>(values))), ...);
}

// One line of values separated by commas.
template <typename... Values>
void put_csv_line(std::string& out, Values... values) {
  put_joined(out, values...);
  out += '\n';
}

// One JSON array of integers, after a comma unless it is the first.
template <typename... Values>
void put_json_row(std::string& out, bool& first, Values... values) {
  out += first ? "[" : ",[";
  first = false;
  put_joined(out, values...);
  out += ']';
}

}  // namespace

void export_packingsolver(const run_info& run, const instance_pass& pass,
                          const std::filesystem::path& dir) {
  std::string bins = "WIDTH,HEIGHT,COPIES\n";
  put_csv_line(bins, run.object.length, run.object.width, 1);
  std::string text;
  pass([&](const instance& in) {
    const std::filesystem::path folder = dir / ("instance_" + std::to_string(in.number));
    std::error_code failed;
    std::filesystem::create_directories(folder, failed);
    if (failed) throw sheetgen::error("Cannot create folder " + folder.string() + "!");

    text = "WIDTH,HEIGHT,PROFIT,COPIES,ORIENTED\n";
    for (const rectangle& item : in.items)
      put_csv_line(text, item.length, item.width, item.area, 1, 1);
    write_file(folder / "items.csv", text);
    write_file(folder / "bins.csv", bins);
    text = "BIN,X,Y,WIDTH,HEIGHT\n";
    for (const placed_defect& d : in.defects) {
      put_csv_line(text, 0, d.x1, d.y1, int64_t{d.x2} - d.x1, int64_t{d.y2} - d.y1);
    }
    write_file(folder / "defects.csv", text);
  });
}

namespace {

// Writes the document through `flush`, which empties the buffer it is
// given. The buffer goes out whenever it passes a MiB, so memory stays
// small however many instances there are.
template <typename Flush>
void write_json(const run_info& run, const instance_pass& pass, Flush flush) {
  constexpr std::size_t flush_at = std::size_t{1} << 20;
  std::string out;
  out += "{\"object\":{\"length\":";
  put(out, run.object.length);
  out += ",\"width\":";
  put(out, run.object.width);
  out += "},\n\"answers\":";
  if (run.answers) {
    const sheetgen::run_parameters& a = *run.answers;
    out += "{\"instances\":";
    put(out, a.no_instances);
    out += ",\"items\":";
    put(out, a.no_items);
    out += ",\"minrelsize\":";
    put(out, a.minrelsize);
    out += ",\"maxrelsize\":";
    put(out, a.maxrelsize);
    out += ",\"minarea\":";
    put(out, a.minarea);
    out += ",\"maxarea\":";
    put(out, a.maxarea);
    out += ",\"defects\":[";
    const int32_t defects = std::clamp(a.no_defects, 0, sheetgen::MAXDEF);
    bool first_size = true;
    for (int32_t i = 0; i < defects; ++i) {
      const sheetgen::rectangle& d = a.defects[static_cast<std::size_t>(i)];
      put_json_row(out, first_size, d.length, d.width);
    }
    out += "],\"seed\":";
    put(out, a.seed);
    out += '}';
  } else {
    out += "null";
  }
  out += ",\n\"instances\":[\n";
  bool first = true;
  pass([&](const instance& in) {
    out += first ? "{\"items\":[" : ",\n{\"items\":[";
    first = false;
    bool first_item = true;
    for (const rectangle& item : in.items) {
      put_json_row(out, first_item, item.length, item.width, item.area);
      if (out.size() >= flush_at) flush(out);
    }
    out += "],\"defects\":[";
    bool first_defect = true;
    for (const placed_defect& d : in.defects)
      put_json_row(out, first_defect, d.x1, d.y1, d.x2, d.y2);
    out += "]}";
    if (out.size() >= flush_at) flush(out);
  });
  out += first ? "]}\n" : "\n]}\n";
  flush(out);
}

}  // namespace

void export_json(const run_info& run, const instance_pass& pass, std::ostream& out) {
  const auto fail = [] { throw sheetgen::error("Cannot write the JSON document!"); };
  write_json(run, pass, [&](std::string& text) {
    if (!out.write(text.data(), static_cast<std::streamsize>(text.size()))) fail();
    text.clear();
  });
  if (!out.flush()) fail();
}

void export_json(const run_info& run, const instance_pass& pass,
                 const std::filesystem::path& file) {
  // A document cut short by a failure on the way never replaces a good one.
  file_writer f(file);
  write_json(run, pass, [&](std::string& text) {
    f.write(text);
    text.clear();
  });
  f.commit();
}

}  // namespace sheetkit

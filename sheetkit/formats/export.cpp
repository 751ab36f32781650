#include "formats/export.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>

#include "files/export_layout.h"
#include "files/files.h"
#include "text/json_format.h"
#include "text/text.h"

namespace sheetkit {

namespace {

void put(std::string& out, int64_t v) {
  char text[24];
  out.append(text, std::to_chars(text, text + sizeof text, v).ptr);
}
void put(std::string& out, int32_t v) { put(out, int64_t{v}); }

// A bound as the text the dialogue reads back to the same float: a JSON
// number would not keep it. null for what the dialogue lets no bound be.
void put(std::string& out, float v) {
  out += std::isfinite(v) ? '"' + shortest_text(v) + '"' : "null";
}

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
                          const std::filesystem::path& dir, const packingsolver_rules& rules) {
  const int64_t object_area = int64_t{run.object.length} * run.object.width;
  const int oriented = rules.rotation ? 0 : 1;
  std::string bins = "WIDTH,HEIGHT,COPIES\n";
  put_csv_line(bins, run.object.length, run.object.width, 1);
  std::string text;
  pass([&](const instance& in) {
    const std::filesystem::path folder = dir / instance_name(in.number);
    std::error_code failed;
    std::filesystem::create_directories(folder, failed);
    if (failed) throw file_error(folder.string(), "cannot be created", failed);

    text = "WIDTH,HEIGHT,PROFIT,COPIES,ORIENTED\n";
    for (std::size_t k = 0; k < in.items.size(); ++k) {
      const rectangle& item = in.items[k];
      // A family run's value file gives each type's profit and copies.
      const bool valued = k < in.values.size();
      const int64_t given = valued ? in.values[k].copies : rules.copies;
      const int64_t copies = given >= 0      ? given
                             : item.area > 0 ? (object_area - 1) / item.area + 1
                                             : 1;
      put_csv_line(text, item.length, item.width, valued ? in.values[k].value : item.area, copies,
                   oriented);
    }
    write_file(folder / export_items_file, text);
    write_file(folder / export_bins_file, bins);
    text = "BIN,X,Y,WIDTH,HEIGHT\n";
    for (const placed_defect& d : in.defects) {
      put_csv_line(text, 0, d.x1, d.y1, int64_t{d.x2} - d.x1, int64_t{d.y2} - d.y1);
    }
    write_file(folder / export_defects_file, text);
  });
}

namespace {

// Output goes out through a flush that empties the buffer it is given,
// whenever the buffer passes a MiB, so memory stays small however many
// instances there are.
using flush_fn = std::function<void(std::string&)>;
constexpr std::size_t flush_at = std::size_t{1} << 20;

// "format_version":N,"object":{...},"answers":{...} or null, `between`
// the members.
void put_run(std::string& out, const run_info& run, std::string_view between) {
  out += "\"format_version\":";
  put(out, json_format_version);
  out += between;
  out += "\"object\":{\"length\":";
  put(out, run.object.length);
  out += ",\"width\":";
  put(out, run.object.width);
  out += '}';
  out += between;
  out += "\"answers\":";
  if (!run.answers) {
    out += "null";
    return;
  }
  const sheetgen::run_parameters& a = *run.answers;
  const auto field = [&](const char* key, auto value) {
    out += key;
    put(out, value);
  };
  field("{\"instances\":", a.no_instances);
  field(",\"item_types\":", a.no_items);
  field(",\"lower\":", a.minrelsize);
  field(",\"upper\":", a.maxrelsize);
  field(",\"min_area\":", a.minarea);
  field(",\"max_area\":", a.maxarea);
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
}

// "items":[...],"defects":[...]
void put_instance(std::string& out, const instance& in, const flush_fn& flush) {
  out += "\"items\":[";
  bool first_item = true;
  for (const rectangle& item : in.items) {
    put_json_row(out, first_item, item.length, item.width, item.area);
    if (out.size() >= flush_at) flush(out);
  }
  if (!in.values.empty()) {
    // A family run's: "values":[...],"copies":[...], null for unlimited.
    out += "],\"values\":[";
    for (std::size_t k = 0; k < in.values.size(); ++k) {
      if (k > 0) out += ',';
      put(out, in.values[k].value);
    }
    out += "],\"copies\":[";
    for (std::size_t k = 0; k < in.values.size(); ++k) {
      if (k > 0) out += ',';
      if (in.values[k].copies < 0) {
        out += "null";
      } else {
        put(out, in.values[k].copies);
      }
    }
  }
  out += "],\"defects\":[";
  bool first_defect = true;
  for (const placed_defect& d : in.defects) put_json_row(out, first_defect, d.x1, d.y1, d.x2, d.y2);
  out += ']';
}

void write_json(const run_info& run, const instance_pass& pass, const flush_fn& flush) {
  std::string out = "{";
  put_run(out, run, ",\n");
  out += ",\n\"instances\":[\n";
  bool first = true;
  pass([&](const instance& in) {
    out += first ? "{" : ",\n{";
    first = false;
    put_instance(out, in, flush);
    out += '}';
    if (out.size() >= flush_at) flush(out);
  });
  out += first ? "]}\n" : "\n]}\n";
  flush(out);
}

void write_jsonl(const run_info& run, const instance_pass& pass, const flush_fn& flush) {
  std::string out = "{";
  put_run(out, run, ",");
  out += "}\n";
  pass([&](const instance& in) {
    out += "{\"instance\":";
    put(out, in.number);
    out += ',';
    put_instance(out, in, flush);
    out += "}\n";
    if (out.size() >= flush_at) flush(out);
  });
  flush(out);
}

using writer_fn = void (*)(const run_info&, const instance_pass&, const flush_fn&);

void write_to(std::ostream& out, writer_fn write, const run_info& run, const instance_pass& pass) {
  // A stream says only that it failed; the system's reason is in errno
  // when a write of its own failed.
  const auto fail = [] {
    const std::string why = errno != 0 ? std::generic_category().message(errno)
                                       : std::string("the output stream failed");
    throw sheetgen::error("Cannot write the JSON document: " + why);
  };
  write(run, pass, [&](std::string& text) {
    errno = 0;
    if (!out.write(text.data(), static_cast<std::streamsize>(text.size()))) fail();
    text.clear();
  });
  errno = 0;
  if (!out.flush()) fail();
}

void write_to(const std::filesystem::path& file, writer_fn write, const run_info& run,
              const instance_pass& pass) {
  // A document cut short by a failure on the way never replaces a good one.
  file_writer f(file);
  write(run, pass, [&](std::string& text) {
    f.write(text);
    text.clear();
  });
  f.commit();
}

}  // namespace

void export_json(const run_info& run, const instance_pass& pass, std::ostream& out) {
  write_to(out, write_json, run, pass);
}

void export_json(const run_info& run, const instance_pass& pass,
                 const std::filesystem::path& file) {
  write_to(file, write_json, run, pass);
}

void export_jsonl(const run_info& run, const instance_pass& pass, std::ostream& out) {
  write_to(out, write_jsonl, run, pass);
}

void export_jsonl(const run_info& run, const instance_pass& pass,
                  const std::filesystem::path& file) {
  write_to(file, write_jsonl, run, pass);
}

}  // namespace sheetkit

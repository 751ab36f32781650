#include "solutions/solution_reader.h"

#include <sheetgen/types.h>
#include <sheetgen/visible_bytes.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "files/files.h"
#include "solutions/large_buffer.h"

namespace sheetkit {

namespace {

// Longer lines are no solution's; refusing them keeps memory bounded.
constexpr std::size_t max_line = 1024;
constexpr std::size_t chunk = std::size_t{1} << 16;
constexpr int64_t max_depth = 1000000000;

// Lines of a file read in chunks: an istream's getline per line would take
// most of the time on a million placements.
class line_source {
 public:
  line_source(std::istream& in, std::string name) : in_(in), name_(std::move(name)) {
    // The bytes to come, where the stream can tell (a file can, a pipe
    // cannot), so that a reader can make room for its rows at once.
    std::streambuf* b = in.rdbuf();
    const std::streampos here = b->pubseekoff(0, std::ios::cur, std::ios::in);
    if (here != std::streampos(-1)) {
      const std::streampos end = b->pubseekoff(0, std::ios::end, std::ios::in);
      if (end != std::streampos(-1) && end >= here) size_ = static_cast<int64_t>(end - here);
      b->pubseekpos(here, std::ios::in);
    }
  }

  // Bytes left after the lines read so far; -1 when unknown.
  int64_t bytes_left() const { return size_ < 0 ? -1 : size_ - consumed_; }

  const std::string& name() const { return name_; }
  int64_t line() const { return line_; }

  [[noreturn]] void fail(int64_t line, const std::string& what) const {
    throw sheetgen::error(name_ + ":" + std::to_string(line) + ": " + what);
  }
  [[noreturn]] void fail(const std::string& what) const { fail(line_, what); }

  // The next line without its end (LF or CR LF); false at the file's end.
  bool next(std::string_view& out) {
    while (true) {
      const std::size_t end = buffer_.find('\n', pos_);
      if (end != std::string::npos) {
        ++line_;
        if (end - pos_ > max_line) too_long();
        out = std::string_view(buffer_).substr(pos_, end - pos_);
        consumed_ += static_cast<int64_t>(end + 1 - pos_);
        pos_ = end + 1;
        if (!out.empty() && out.back() == '\r') out.remove_suffix(1);
        if (line_ == 1 && out.substr(0, 3) == "\xEF\xBB\xBF") out.remove_prefix(3);
        return true;
      }
      if (buffer_.size() - pos_ > max_line) {
        ++line_;
        too_long();
      }
      if (eof_) {
        if (pos_ < buffer_.size()) {
          ++line_;
          fail("the last line has no line end; is the file cut short?");
        }
        return false;
      }
      buffer_.erase(0, pos_);
      pos_ = 0;
      const std::size_t had = buffer_.size();
      buffer_.resize(had + chunk);
      in_.read(buffer_.data() + had, static_cast<std::streamsize>(chunk));
      buffer_.resize(had + static_cast<std::size_t>(in_.gcount()));
      if (!in_) {
        if (in_.bad()) fail(line_ + 1, "cannot be read");
        eof_ = true;
      }
    }
  }

 private:
  [[noreturn]] void too_long() const {
    fail("line longer than " + std::to_string(max_line) + " characters; not a solution file?");
  }

  std::istream& in_;
  std::string name_;
  std::string buffer_;
  std::size_t pos_ = 0;
  bool eof_ = false;
  int64_t line_ = 0;
  int64_t size_ = -1;     // the stream's bytes from where reading began; -1 unknown
  int64_t consumed_ = 0;  // bytes of the lines read
};

// A line's comma-separated fields, exactly `n` of them.
template <std::size_t n>
std::array<std::string_view, n> fields(const line_source& src, std::string_view line,
                                       const char* header) {
  std::array<std::string_view, n> out;
  std::size_t count = 0, start = 0;
  while (true) {
    const std::size_t comma = line.find(',', start);
    if (count < n) out[count] = line.substr(start, comma - start);
    ++count;
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  if (count != n) {
    src.fail(std::to_string(count) + (count == 1 ? " field" : " fields") + " where " +
             std::to_string(n) + " are (" + header + "): \"" + sheetgen::visible_bytes(line) +
             "\"");
  }
  return out;
}

// An integer field: optional minus sign, decimal digits, within 64 bits.
int64_t integer(const line_source& src, std::string_view field, const char* column) {
  int64_t v = 0;
  const char* end = field.data() + field.size();
  const auto [ptr, ec] = std::from_chars(field.data(), end, v);
  if (field.empty()) src.fail(std::string(column) + " is empty");
  if (ec == std::errc::result_out_of_range)
    src.fail(std::string(column) + " " + sheetgen::visible_bytes(field) + " is past 64 bits");
  if (ec != std::errc() || ptr != end || field[0] == '+')
    src.fail(std::string(column) + " \"" + sheetgen::visible_bytes(field) + "\" is not an integer");
  return v;
}

// A field of plain decimal digits, few enough not to overflow, that ends
// the line or a comma: the common case, read in one pass, `p` left on what
// ends it. False for anything else (a sign, an empty field, a long number),
// which the field-by-field reading words.
bool plain_digits(const char*& p, const char* end, int64_t& v) {
  const char* start = p;
  uint64_t r = 0;  // unsigned: too many digits wrap, and are refused below
  while (p < end && static_cast<unsigned char>(*p - '0') < 10)
    r = r * 10 + static_cast<uint64_t>(*p++ - '0');
  if (p == start || p - start > 18 || (p < end && *p != ',')) return false;
  v = static_cast<int64_t>(r);
  return true;
}

// A placement row "instance,item_type,x,y,rotated" of plain digits, an
// instance above 0 and rotated 0 or 1, read without splitting the line
// first; false for any other line.
bool plain_placement(std::string_view line, int64_t& instance, placement& out) {
  const char* p = line.data();
  const char* const end = p + line.size();
  const auto field = [&](int64_t& v) {
    if (!plain_digits(p, end, v) || p == end) return false;
    ++p;  // the comma
    return true;
  };
  if (!field(instance) || instance == 0 || !field(out.item_type) || !field(out.x) || !field(out.y))
    return false;
  if (end - p != 1 || (*p != '0' && *p != '1')) return false;
  out.rotated = *p == '1';
  return true;
}

int64_t at_least(const line_source& src, std::string_view field, const char* column, int64_t low,
                 const char* what) {
  const int64_t v = integer(src, field, column);
  if (v < low) src.fail(std::string(column) + " " + std::to_string(v) + " " + what);
  return v;
}

int64_t positive(const line_source& src, std::string_view field, const char* column) {
  return at_least(src, field, column, 1, "is not positive");
}

int64_t index(const line_source& src, std::string_view field, const char* column) {
  return at_least(src, field, column, 0, "is negative");
}

void read_rectangle(line_source& src, solution& out) {
  std::string_view line;
  while (src.next(line)) {
    const auto f = fields<9>(src, line, rectangle_header);
    const int64_t at = src.line();
    const int64_t id = index(src, f[1], "ID");
    const int64_t copies = positive(src, f[2], "COPIES");
    const int64_t bin = index(src, f[3], "BIN");
    const int64_t x = integer(src, f[4], "X");
    const int64_t y = integer(src, f[5], "Y");
    const int64_t lx = positive(src, f[6], "LX");
    const int64_t ly = positive(src, f[7], "LY");
    if (f[0] == "ITEM") {
      index(src, f[8], "GROUP_ID");
      out.items.push_back({id, x, y, lx, ly, false, copies, at, bin});
    } else if (f[0] == "BIN" || f[0] == "DEFECT") {
      if (!f[8].empty())
        src.fail("GROUP_ID \"" + sheetgen::visible_bytes(f[8]) + "\" where a " + std::string(f[0]) +
                 " row has none");
      if (f[0] == "BIN") {
        if (x != 0 || y != 0)
          src.fail("a bin's X and Y are 0, not " + std::to_string(x) + ", " + std::to_string(y));
        out.bins.push_back({id, copies, bin, lx, ly, at});
      } else {
        out.defects.push_back({id, bin, x, y, lx, ly, at});
      }
    } else {
      src.fail("TYPE \"" + sheetgen::visible_bytes(f[0]) + "\" is none of BIN, DEFECT, ITEM");
    }
  }
}

void read_guillotine(line_source& src, solution& out) {
  std::string_view line;
  std::unordered_map<int64_t, std::size_t> by_id;
  int64_t defects = 0;
  while (src.next(line)) {
    const auto f = fields<10>(src, line, guillotine_header);
    cut_node n;
    n.line = src.line();
    n.plate = index(src, f[0], "PLATE_ID");
    n.copies = positive(src, f[1], "COPIES");
    n.id = integer(src, f[2], "NODE_ID");
    n.x = integer(src, f[3], "X");
    n.y = integer(src, f[4], "Y");
    n.length = positive(src, f[5], "WIDTH");
    n.width = positive(src, f[6], "HEIGHT");
    n.type = at_least(src, f[7], "TYPE", -4, "is none of -4 to -1 nor an item type");
    n.depth = integer(src, f[8], "CUT");
    // No tree is deeper than its file is long: bounding the depth here
    // keeps the check's level arithmetic far from overflow.
    if (n.depth > max_depth)
      src.fail("CUT " + std::to_string(n.depth) + " is past " + std::to_string(max_depth) +
               " levels; no tree is that deep");
    if (n.type == -4) {
      if (n.id != -1 || n.depth != -1 || !f[9].empty())
        src.fail("a defect row (TYPE -4) has NODE_ID -1, CUT -1 and no PARENT");
      out.defects.push_back({defects++, n.plate, n.x, n.y, n.length, n.width, n.line});
      continue;
    }
    if (n.id < 0) src.fail("NODE_ID " + std::to_string(n.id) + " is negative");
    if (n.depth < 0) src.fail("CUT " + std::to_string(n.depth) + " is negative");
    n.parent = f[9].empty() ? -1 : index(src, f[9], "PARENT");
    const auto [it, fresh] = by_id.emplace(n.id, out.nodes.size());
    if (!fresh) {
      src.fail("node " + std::to_string(n.id) + " again (first on line " +
               std::to_string(out.nodes[it->second].line) + ")");
    }
    // A root's TYPE is its bin type, not an item's.
    if (n.type >= 0 && n.parent >= 0)
      out.items.push_back({n.type, n.x, n.y, n.length, n.width, false, n.copies, n.line, n.plate});
    out.nodes.push_back(n);
  }
  // Every parent exists, and following parents ends at a root: a walk that
  // meets a node of its own walk again has found a cycle.
  std::vector<uint8_t> state(out.nodes.size(), 0);  // 0 new, 1 on the walk, 2 leads to a root
  std::vector<std::size_t> walk;
  for (std::size_t start = 0; start < out.nodes.size(); ++start) {
    std::size_t k = start;
    walk.clear();
    while (state[k] == 0) {
      state[k] = 1;
      walk.push_back(k);
      const cut_node& n = out.nodes[k];
      if (n.parent < 0) break;
      const auto p = by_id.find(n.parent);
      if (p == by_id.end())
        src.fail(n.line, "parent " + std::to_string(n.parent) + " of node " + std::to_string(n.id) +
                             " is no node of the file");
      k = p->second;
    }
    if (state[k] == 1 && out.nodes[k].parent >= 0) {
      src.fail(out.nodes[k].line, "node " + std::to_string(out.nodes[k].id) +
                                      " is its own ancestor: the tree has a cycle");
    }
    for (const std::size_t w : walk) state[w] = 2;
  }
}

}  // namespace

struct solution_reader::state {
  line_source src;
  solution_format format = solution_format::placements;
  bool done = false;
  bool pending = false;  // a placement row read ahead, of the next instance
  int64_t pending_instance = 0;
  placement pending_row;

  state(std::istream& in, std::string name) : src(in, std::move(name)) {}
};

solution_reader::solution_reader(std::istream& in, std::string name)
    : state_(std::make_unique<state>(in, std::move(name))) {
  std::string_view header;
  if (!state_->src.next(header))
    state_->src.fail(1, "the file is empty; a solution file starts with its header");
  if (header == rectangle_header) {
    state_->format = solution_format::rectangle;
  } else if (header == guillotine_header) {
    state_->format = solution_format::guillotine;
  } else if (header == placements_header) {
    state_->format = solution_format::placements;
  } else {
    state_->src.fail("header \"" + sheetgen::visible_bytes(header) + "\" is none of " +
                     rectangle_header + " (rectangle), " + guillotine_header +
                     " (rectangleguillotine), " + placements_header + " (placements)");
  }
}

solution_reader::~solution_reader() = default;

solution_format solution_reader::format() const { return state_->format; }

bool solution_reader::next(solution& out) {
  state& s = *state_;
  if (s.done) return false;
  out.format = s.format;
  out.file = s.src.name();
  out.instance = 0;
  out.items.clear();
  out.bins.clear();
  out.defects.clear();
  out.nodes.clear();
  if (s.format != solution_format::placements) {
    s.done = true;
    if (s.format == solution_format::rectangle) {
      read_rectangle(s.src, out);
    } else {
      read_guillotine(s.src, out);
    }
    return true;
  }
  // Room for as many rows as the rest of the file can hold (a row takes
  // at least 10 bytes): pages are only taken as rows fill them, and a
  // million rows are not copied from one growing buffer to the next.
  // What the instance does not use is given back at its end; room for
  // more than 4 M rows (288 MiB unused) is not asked for ahead.
  if (const int64_t left = s.src.bytes_left(); left > 0 && out.items.capacity() == 0) {
    out.items.reserve(static_cast<std::size_t>(std::min<int64_t>(left / 10 + 1, int64_t{1} << 22)));
    prefer_huge_pages(out.items);
  }
  const auto fit = [&out] {
    if (out.items.capacity() > 2 * out.items.size() + 1024) out.items.shrink_to_fit();
  };
  if (s.pending) {
    out.instance = s.pending_instance;
    out.items.push_back(s.pending_row);
    s.pending = false;
  }
  std::string_view line;
  while (s.src.next(line)) {
    int64_t instance = 0;
    placement p;
    p.line = s.src.line();
    if (!plain_placement(line, instance, p)) {
      const auto f = fields<5>(s.src, line, placements_header);
      instance = positive(s.src, f[0], "instance");
      p.item_type = index(s.src, f[1], "item_type");
      p.x = integer(s.src, f[2], "x");
      p.y = integer(s.src, f[3], "y");
      if (f[4] != "0" && f[4] != "1")
        s.src.fail("rotated \"" + sheetgen::visible_bytes(f[4]) + "\" is neither 0 nor 1");
      p.rotated = f[4] == "1";
    }
    if (out.instance != 0 && instance < out.instance) {
      s.src.fail("instance " + std::to_string(instance) + " after instance " +
                 std::to_string(out.instance) +
                 ": give each instance's rows together, instances in increasing order");
    }
    if (out.instance != 0 && instance != out.instance) {
      s.pending = true;
      s.pending_instance = instance;
      s.pending_row = p;
      fit();
      return true;
    }
    out.instance = instance;
    out.items.push_back(p);
  }
  s.done = true;
  fit();
  return out.instance != 0;
}

std::vector<solution> read_solution(const std::filesystem::path& file) {
  std::ifstream in = open_input(file.string());
  solution_reader reader(in, file.string());
  std::vector<solution> out;
  solution s;
  while (reader.next(s)) out.push_back(std::move(s));
  return out;
}

}  // namespace sheetkit

#include "progress/progress_line.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <utility>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#else
#include <unistd.h>
#endif

// The compiler checks every format against its arguments.
#if defined(__GNUC__)
#define PRINTF_LIKE(f, a) __attribute__((__format__(__printf__, f, a)))
#else
#define PRINTF_LIKE(f, a)
#endif

namespace sheetgen {

namespace {

constexpr auto quiet_time = std::chrono::seconds(1);
constexpr auto redraw_every = std::chrono::milliseconds(250);

// snprintf into a fixed buffer: drawing allocates nothing while a run has
// its files open.
class line_text {
 public:
  PRINTF_LIKE(2, 3) void add(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(text_ + size_, sizeof text_ - size_, format, args);
    va_end(args);
    if (n > 0) size_ = std::min(size_ + static_cast<std::size_t>(n), sizeof text_ - 1);
  }
  const char* data() const { return text_; }
  std::size_t size() const { return size_; }

 private:
  char text_[160] = {};
  std::size_t size_ = 0;
};

// "0:03", "12:34", "1:02:03".
void add_duration(line_text& text, int64_t seconds) {
  if (seconds >= 3600) {
    text.add("%" PRId64 ":%02d:%02d", seconds / 3600, static_cast<int>(seconds / 60 % 60),
             static_cast<int>(seconds % 60));
  } else {
    text.add("%d:%02d", static_cast<int>(seconds / 60), static_cast<int>(seconds % 60));
  }
}

}  // namespace

bool stdout_is_terminal() { return isatty(1) != 0; }
bool stderr_is_terminal() { return isatty(2) != 0; }

progress_line::progress_line(std::ostream& out, bool terminal, bool after_prompt, now_function now)
    : out_(out), terminal_(terminal), after_prompt_(after_prompt), now_(std::move(now)) {}

progress_line::~progress_line() {
  try {
    clear();
  } catch (...) {
  }
}

void progress_line::show(const pass_progress& p) {
  if (!terminal_) return;
  if (p.pass.empty()) {
    clear();
    return;
  }
  const clock::time_point t = now_();
  if (!started_) {
    started_ = true;
    run_start_ = t;
  }
  if (p.done == 0 || p.pass != pass_) {
    pass_start_ = t;
    pass_ = p.pass;
  }
  if (t - run_start_ < quiet_time) return;
  if (drawn_width_ > 0 && t - last_drawn_ < redraw_every) return;
  draw(p, t);
}

void progress_line::draw(const pass_progress& p, clock::time_point t) {
  line_text text;
  text.add("%.*s: %" PRId64, static_cast<int>(p.pass.size()), p.pass.data(), p.done);
  if (p.total > 0) {
    text.add(" / %" PRId64 " instances (%d%%)", p.total, static_cast<int>(p.done * 100 / p.total));
  } else {
    text.add(" instances");
  }
  const double seconds = std::chrono::duration<double>(t - pass_start_).count();
  if (p.done > 0 && seconds > 0) {
    const double rate = static_cast<double>(p.units) / seconds;
    const int unit_size = static_cast<int>(p.unit.size());
    if (rate >= 1e6) {
      text.add(", %.1f million %.*s/s", rate / 1e6, unit_size, p.unit.data());
    } else {
      text.add(", %.0f %.*s/s", rate, unit_size, p.unit.data());
    }
    if (p.total > p.done) {
      // The pass's pace so far, for the instances still to come.
      const double left =
          seconds * static_cast<double>(p.total - p.done) / static_cast<double>(p.done);
      text.add(", ");
      add_duration(text, static_cast<int64_t>(std::ceil(left)));
      text.add(" left");
    }
  }
  // A line of its own below the prompt, the first time only: clearing the
  // line then leaves the prompt as it was.
  if (after_prompt_ && !own_line_) out_ << '\n';
  own_line_ = true;
  // Blanks over what a longer line before left; no escape sequences, which
  // not every terminal knows.
  out_ << '\r';
  out_.write(text.data(), static_cast<std::streamsize>(text.size()));
  for (std::size_t i = text.size(); i < drawn_width_; ++i) out_ << ' ';
  out_ << std::flush;
  drawn_width_ = std::max(drawn_width_, text.size());
  last_drawn_ = t;
}

void progress_line::clear() {
  if (drawn_width_ == 0) return;
  out_ << '\r';
  for (std::size_t i = 0; i < drawn_width_; ++i) out_ << ' ';
  out_ << '\r' << std::flush;
  drawn_width_ = 0;
}

}  // namespace sheetgen

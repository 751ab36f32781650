#include "progress.h"

#include <cstdio>
#include <utility>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace sheetgen {

namespace {

constexpr auto quiet_time = std::chrono::seconds(1);
constexpr auto redraw_every = std::chrono::milliseconds(250);

std::string rate_text(double per_second) {
  char text[32];
  if (per_second >= 1e6) {
    std::snprintf(text, sizeof text, "%.1f million", per_second / 1e6);
  } else {
    std::snprintf(text, sizeof text, "%.0f", per_second);
  }
  return text;
}

}  // namespace

bool stderr_is_terminal() {
#ifdef _WIN32
  return _isatty(2) != 0;
#else
  return isatty(2) != 0;
#endif
}

progress_line::progress_line(std::ostream& out, bool terminal, now_function now)
    : out_(out), terminal_(terminal), now_(std::move(now)) {}

progress_line::~progress_line() {
  try {
    clear();
  } catch (...) {
  }
}

void progress_line::start(int64_t total, std::string unit) {
  if (!terminal_) return;
  const clock::time_point t = now_();
  if (!started_) {
    started_ = true;
    run_start_ = t;
  }
  pass_start_ = t;
  total_ = total;
  unit_ = std::move(unit);
}

void progress_line::update(int64_t instances, int64_t units) {
  if (!terminal_ || !started_) return;
  const clock::time_point t = now_();
  if (t - run_start_ < quiet_time) return;
  if (drawn_width_ > 0 && t - last_drawn_ < redraw_every) return;
  draw(instances, units, t);
}

void progress_line::draw(int64_t instances, int64_t units, clock::time_point t) {
  std::string text = "instances " + std::to_string(instances);
  if (total_ > 0) text += " / " + std::to_string(total_);
  const double seconds = std::chrono::duration<double>(t - pass_start_).count();
  if (seconds > 0)
    text += ", " + rate_text(static_cast<double>(units) / seconds) + " " + unit_ + "/s";
  // Blanks over what a longer line before left; no escape sequences, which
  // not every terminal knows.
  const std::size_t width = text.size();
  if (width < drawn_width_) text.append(drawn_width_ - width, ' ');
  out_ << '\r' << text << std::flush;
  drawn_width_ = width > drawn_width_ ? width : drawn_width_;
  last_drawn_ = t;
}

void progress_line::clear() {
  if (drawn_width_ == 0) return;
  out_ << '\r' << std::string(drawn_width_, ' ') << '\r' << std::flush;
  drawn_width_ = 0;
}

progress_callback show_run_progress(progress_line& line) {
  return [&line](const run_progress& p) {
    using stage = run_progress::stage;
    if (p.pass == stage::finished) {
      line.clear();
    } else if (p.instances_done == 0) {
      line.start(p.instances_total, p.pass == stage::items ? "items" : "defects");
    } else {
      line.update(p.instances_done, p.lines_done);
    }
  };
}

}  // namespace sheetgen

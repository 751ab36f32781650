// What a command that Ctrl-C ends says on its way out: what it leaves
// behind and that the next run cleans it. The process still ends as the
// signal ends it (status 130 in a shell), since scripts rely on that.
#ifndef SHEETKIT_INTERRUPT_NOTE_H_
#define SHEETKIT_INTERRUPT_NOTE_H_

#include <string>

namespace sheetkit {

// While one lives, SIGINT and SIGTERM write `line` (a line break is added)
// to standard error before the process ends by the signal. One at a time;
// the text is copied, since the handler may not allocate.
class interrupt_note {
 public:
  explicit interrupt_note(const std::string& line);
  ~interrupt_note();
  interrupt_note(const interrupt_note&) = delete;
  interrupt_note& operator=(const interrupt_note&) = delete;
};

}  // namespace sheetkit

#endif  // SHEETKIT_INTERRUPT_NOTE_H_

#include "cli/interrupt_note.h"

#include <algorithm>
#include <csignal>
#include <cstring>

#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#define SHEETKIT_HAS_WRITE 1
#endif

namespace sheetkit {

namespace {

// Written by the handler as it is, with nothing that is not safe in it.
char note[1024];
std::size_t note_size = 0;
using handler = void (*)(int);
handler before_int = SIG_DFL;
handler before_term = SIG_DFL;

extern "C" void say_and_end(int signal) {
#ifdef SHEETKIT_HAS_WRITE
  const ssize_t written = ::write(2, note, note_size);
  (void)written;  // nothing more can be done about it now
#endif
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace

interrupt_note::interrupt_note(const std::string& line) {
  note_size = std::min(line.size(), sizeof note - 1);
  std::memcpy(note, line.data(), note_size);
  note[note_size++] = '\n';
  before_int = std::signal(SIGINT, say_and_end);
  before_term = std::signal(SIGTERM, say_and_end);
  // A signal ignored where the command started (nohup, a job's shell) stays so.
  if (before_int == SIG_IGN) std::signal(SIGINT, SIG_IGN);
  if (before_term == SIG_IGN) std::signal(SIGTERM, SIG_IGN);
}

interrupt_note::~interrupt_note() {
  std::signal(SIGINT, before_int == SIG_ERR ? SIG_DFL : before_int);
  std::signal(SIGTERM, before_term == SIG_ERR ? SIG_DFL : before_term);
}

}  // namespace sheetkit

#include <sheetgen/answers.h>
#include <sheetgen/run.h>
#include <sheetgen/run_files.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <new>
#include <ostream>

#include "console.h"
#include "dialogue.h"

namespace sheetgen {

namespace {

const char* const banner =
    "This program generates problem instances of a two-dimensional rectangular Single Large "
    "Object Placement Problem with defects. \nAll dimensions of the generated item types are "
    "integer, thus the dimensions of the large object and the defects should also be entered as "
    "integer numbers. For more details see: the file README.md that comes with this program, "
    "which describes the dialogue and both file formats. \n \n";

// The one way a run stops early: the message as it is, one more answer
// read and ignored, status 1.
int abort_run(console& con, const char* message) {
  con.print(message);
  con.discard_answer();
  return 1;
}

}  // namespace

int run(std::istream& in, std::ostream& out, const std::filesystem::path& folder) {
  return run(in, out, folder, progress_callback());
}

int run(std::istream& in, std::ostream& out, const std::filesystem::path& folder,
        const progress_callback& progress) {
  return run(in, out, folder, progress, reason_callback());
}

int run(std::istream& in, std::ostream& out, const std::filesystem::path& folder,
        const progress_callback& progress, const reason_callback& reason) {
  console con(in, out);
  // The message first, as always; the reason goes elsewhere (standard
  // error), so the console's text, which scripts compare, never changes.
  const auto abort_with = [&](const error& e, const std::string& why) {
    con.print(e.what());
    out.flush();
    if (reason) reason(why);
    con.discard_answer();
    return 1;
  };
  try {
    try {
      con.print(banner);
      write_run_files(dialogue(con, folder), folder, progress);
      con.print("\n\nProgram run finished. Enter a number to quit! ");
      con.discard_answer();
      out.flush();
      return 0;
    } catch (const std::bad_alloc&) {
      return abort_run(con, "Not enough memory!");
    } catch (const answer_error& e) {
      return abort_with(e, e.located("standard input"));
    } catch (const write_error& e) {
      return abort_with(e, e.reason());
    } catch (const error& e) {
      return abort_run(con, e.what());
    }
  } catch (...) {
    // Printing the message can fail too (memory again, a closed console);
    // the status still tells.
    return 1;
  }
}

namespace {

// Called where an allocation fails, before anything is thrown: throwing
// needs memory too, and without it the process would abort. Nothing here
// allocates. The files are not open at that point (every allocation of a
// run comes before or between them), so nothing is lost.
void out_of_memory() {
  try {
    std::cout.flush();
  } catch (...) {
  }
  std::fputs("Not enough memory!", stdout);
  std::fflush(stdout);
  // The one answer every abort reads, bounded like any other.
  try {
    std::streambuf* in = std::cin.rdbuf();
    int c = in->sbumpc();
    while (c != EOF && std::isspace(c)) c = in->sbumpc();
    for (int n = 0; n < 256 && c != EOF && !std::isspace(c); ++n) c = in->sbumpc();
  } catch (...) {
  }
  std::_Exit(1);
}

}  // namespace

int run_program() { return run_program(progress_callback()); }

int run_program(const progress_callback& progress) {
  return run_program(progress, reason_callback());
}

int run_program(const progress_callback& progress, const reason_callback& reason) {
  std::set_new_handler(out_of_memory);
  std::ios::sync_with_stdio(false);
  return run(std::cin, std::cout, std::filesystem::path(), progress, reason);
}

}  // namespace sheetgen

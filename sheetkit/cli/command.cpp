#include "cli/command.h"

#include <utility>

#include "files/files.h"
#include "files/source.h"

namespace sheetkit {

command_progress::command_progress(std::string_view command, std::ostream& err, bool terminal,
                                   const run_info& run)
    : command_(command),
      line_(err, terminal, /*after_prompt=*/false),
      total_(run.answers ? run.answers->no_instances : 0) {}

sheetgen::progress_callback command_progress::callback() {
  return [this](const sheetgen::pass_progress& p) {
    sheetgen::pass_progress named = p;
    if (!p.pass.empty()) {
      // Each pass under a name of its own, so that the line counts up within
      // a pass and a new pass is seen to start, not to jump back.
      if (p.pass != label_pass_) {
        label_pass_ = p.pass;
        label_ = std::string(command_);
        if (p.pass != command_) label_ += " (" + label_pass_ + ")";
      }
      named.pass = label_;
    }
    line_.show(named);
  };
}

instance_pass command_progress::shown(instance_pass pass) {
  return [this, pass = std::move(pass)](const std::function<void(const instance&)>& visit) {
    // Lines of both files: a run may be mostly defects.
    line_.show({command_, 0, total_, 0, "lines"});
    int64_t lines = 0;
    pass([&](const instance& in) {
      visit(in);
      lines += static_cast<int64_t>(in.items.size() + in.defects.size());
      line_.show({command_, in.number, total_, lines, "lines"});
    });
  };
}

std::string error_message(const std::exception& e, const run_info& run) {
  const auto* file = dynamic_cast<const file_error*>(&e);
  if (file == nullptr || !run.answers) return e.what();
  const std::string& name = file->file();
  if (name != run.instance_file && name != run.defect_file) return e.what();
  return e.what() + answers_name_note(name);
}

void write_message(std::ostream& err, std::string_view prefix, std::string_view message) {
  err << prefix << message << '\n';
}

void session::say(std::string_view message) {
  shown.clear();
  write_message(err, prefix, message);
}

}  // namespace sheetkit

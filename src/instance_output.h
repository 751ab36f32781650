// The instance file, formatted where a core is free. Drawing the items is
// sequential, turning them into text is not: the caller hands over batches
// of items as numbers, and a second thread formats and writes each while
// the caller draws the next. When that thread is still writing (to a
// disk, say), the caller formats its batch itself and leaves only the
// writing to the thread; when the thread has not run yet (a busy system),
// the caller takes the batch before back and writes both itself. So the
// work goes to whichever core is free, and the writing stays on one.
// Failures throw error("Cannot write file NAME!") as output_file's do, and
// the file then keeps what was written before: a beginning of the file.
#ifndef SHEETGEN_INSTANCE_OUTPUT_H_
#define SHEETGEN_INSTANCE_OUTPUT_H_

#include <sheetgen/instance_file.h>
#include <sheetgen/types.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

namespace sheetgen {

class worker;

class instance_output {
 public:
  // Bytes a batch takes per item: the item as numbers, where its block may
  // end, and its line at its widest with the empty line that may follow.
  static constexpr std::size_t bytes_per_item =
      sizeof(rectangle) + sizeof(uint32_t) + item_line_room + 1;

  // Lays two batches into `buffer` (aligned for rectangle; the caller's, as output_file's: the
  // two files are never open at once), each holding as many items as fit
  // in half of it, at least one; a block may span batches. Starts the
  // thread, then creates or truncates `name`, taken relative to `folder`
  // unless absolute. Where no thread can be started, the caller's thread
  // formats and writes in turn with drawing.
  instance_output(const std::filesystem::path& folder, const std::string& name,
                  std::span<char> buffer);
  // Reached without close() only when the run aborts: writes the blocks
  // added so far unless a write has failed, and closes without checking.
  ~instance_output();
  instance_output(const instance_output&) = delete;
  instance_output& operator=(const instance_output&) = delete;

  // Items a batch holds with a buffer of `size` bytes (0: too small).
  static constexpr std::size_t batch_capacity(std::size_t size) {
    const std::size_t half = size / 2 / alignof(rectangle) * alignof(rectangle);
    return half > 1 ? (half - 1) / bytes_per_item : 0;
  }

  // Adds one block: its lines, then the empty line, as put_item_block
  // writes them.
  void add_block(std::span<const rectangle> items);

  // Writes what is left and closes; any failure throws.
  void close();

 private:
  struct batch {
    rectangle* item = nullptr;
    uint32_t* block_end = nullptr;  // items before each block's empty line
    // Each line at its widest, each empty line, and the byte that
    // put_item_block writes past a block cut short by the batch's end.
    char* text = nullptr;
    std::size_t items = 0;
    std::size_t ends = 0;  // blocks ending in this batch
    std::size_t text_size = 0;
    bool formatted = false;

    bool empty() const { return items == 0 && ends == 0; }
    void format();
  };

  // Who formats and writes the batch handed to the thread: whichever gets
  // to it first, so that a thread the system has not run yet never holds
  // the caller up.
  enum class owner { waiting, thread, caller };

  // Passes the filled batch on to the thread, formatting it here first
  // while the thread still works on the batch before; where the thread has
  // not started on that one yet, takes it back and writes both here.
  // Continues in a free batch.
  void hand_over();
  // Formats the batch if needed and writes it on the caller's thread.
  void write_here(batch& b);
  static void write_batch(void* self);
  // Throws write_error with `reason`, an errno value (0: none known).
  [[noreturn]] void fail(int reason);

  std::string name_;
  std::size_t capacity_;  // items, and block ends, a batch holds
  batch batches_[2];
  std::unique_ptr<worker> writer_;  // null: this thread formats and writes
  std::FILE* file_ = nullptr;
  batch* filling_;
  batch* sent_ = nullptr;  // handed to writer_ last
  std::atomic<owner> sent_owner_{owner::caller};
  // After a failure nothing more is written, by either thread.
  std::atomic<bool> write_failed_{false};
  int failed_errno_ = 0;  // set before write_failed_, by the thread that failed
};

}  // namespace sheetgen

#endif  // SHEETGEN_INSTANCE_OUTPUT_H_

// A second thread that does one job at a time while the caller goes on:
// output_file writes on it, line_reader reads and parses ahead on it.
#ifndef SHEETGEN_WORKER_H_
#define SHEETGEN_WORKER_H_

#include <condition_variable>
#include <mutex>
#include <thread>

namespace sheetgen {

class worker {
 public:
  // Starts the thread; throws std::system_error where none can be started
  // (too little address space for its stack, say). Nothing allocates once
  // it runs, so all of a job's memory can be taken before it starts.
  worker();
  // Waits for the job in progress, then ends the thread.
  ~worker();
  worker(const worker&) = delete;
  worker& operator=(const worker&) = delete;

  // Runs job(context) on the thread. The job started before must be
  // finished; whatever the job writes is the caller's to read after finish().
  void start(void (*job)(void*), void* context);

  // Waits until the job started last is done (at once if there is none).
  void finish();

  // Whether the job started last is done, without waiting.
  bool idle();

 private:
  void run();

  std::mutex mutex_;
  std::condition_variable work_;  // a job to do, or the end
  std::condition_variable done_;  // the job is done
  void (*job_)(void*) = nullptr;
  void* context_ = nullptr;
  bool busy_ = false;
  bool stopping_ = false;
  std::thread thread_;  // last: it starts once everything above is ready
};

}  // namespace sheetgen

#endif  // SHEETGEN_WORKER_H_

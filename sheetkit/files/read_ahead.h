// Reading a run on a thread of its own, ahead of the work on it.
#ifndef SHEETKIT_READ_AHEAD_H_
#define SHEETKIT_READ_AHEAD_H_

#include "files/instance.h"

namespace sheetkit {

// The same pass, read on a thread of its own a little ahead of `visit`,
// which gets the same instances on the calling thread, in batches of
// bounded size: parsing the files takes one core, the caller's work on them
// another. An error of the pass reaches the caller after the instances
// before it; an error of `visit` stops the reading. Where no thread can be
// started, the pass runs as it is.
instance_pass read_ahead(instance_pass pass);

}  // namespace sheetkit

#endif  // SHEETKIT_READ_AHEAD_H_

#include <sheetgen/generator.h>
#include <sheetgen/parameters.h>

#include <algorithm>
#include <utility>

#include "defects.h"
#include "items.h"
#include "random.h"

namespace sheetgen {

struct item_generator::state {
  run_parameters p;
  random_generator rng;
  std::unique_ptr<rectangle[]> items;
  int32_t count = 0;  // item types per instance
  int32_t done = 0;
  bool failed = false;
};

struct defect_placer::state {
  run_parameters p;
  random_generator rng;
  std::unique_ptr<placed_defect[]> defects;
  int32_t count = 0;
  int32_t done = 0;
};

item_generator::item_generator(run_parameters p) : s_(std::make_unique<state>()) {
  check_parameters(p);
  s_->p = std::move(p);
  s_->count = std::max(s_->p.no_items, 0);
  s_->items = std::make_unique<rectangle[]>(static_cast<std::size_t>(s_->count));
  s_->rng = random_generator(s_->p.seed);
  s_->rng.uniform_random();  // the first draw after seeding is never used
}

item_generator::~item_generator() = default;
item_generator::item_generator(item_generator&&) noexcept = default;
item_generator& item_generator::operator=(item_generator&&) noexcept = default;

bool item_generator::next() {
  if (s_->failed || s_->done >= s_->p.no_instances) return false;
  s_->failed = true;  // until the instance is complete
  generate_items(s_->p, s_->rng, s_->items.get());
  s_->failed = false;
  ++s_->done;
  return true;
}

std::span<const rectangle> item_generator::items() const {
  return {s_->items.get(), s_->done > 0 ? static_cast<std::size_t>(s_->count) : 0};
}

int32_t item_generator::instances_done() const { return s_->done; }

const run_parameters& item_generator::parameters() const { return s_->p; }

defect_placer item_generator::defects() && {
  if (s_->failed) throw error("The item types of this run could not all be generated.");
  while (next()) {
  }
  auto d = std::make_unique<defect_placer::state>();
  d->p = s_->p;
  d->rng = s_->rng;
  d->count = std::max(d->p.no_defects, 0);
  d->defects = std::make_unique<placed_defect[]>(static_cast<std::size_t>(d->count));
  s_.reset();
  return defect_placer(std::move(d));
}

defect_placer::defect_placer(std::unique_ptr<state> s) : s_(std::move(s)) {}
defect_placer::defect_placer(const defect_placer& other) : s_(std::make_unique<state>()) {
  s_->p = other.s_->p;
  s_->rng = other.s_->rng;
  s_->count = other.s_->count;
  s_->done = other.s_->done;
  s_->defects = std::make_unique<placed_defect[]>(static_cast<std::size_t>(s_->count));
  std::copy_n(other.s_->defects.get(), s_->count, s_->defects.get());
}
defect_placer::~defect_placer() = default;
defect_placer::defect_placer(defect_placer&&) noexcept = default;
defect_placer& defect_placer::operator=(defect_placer&&) noexcept = default;

bool defect_placer::next() {
  if (s_->done >= s_->p.no_instances) return false;
  place_defects(s_->p, s_->rng, s_->defects.get());
  ++s_->done;
  return true;
}

std::span<const placed_defect> defect_placer::defects() const {
  return {s_->defects.get(), s_->done > 0 ? static_cast<std::size_t>(s_->count) : 0};
}

int32_t defect_placer::instances_done() const { return s_->done; }

}  // namespace sheetgen

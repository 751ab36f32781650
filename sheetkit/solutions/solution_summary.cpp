#include "solutions/solution_summary.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "text/json_format.h"
#include "text/text.h"

namespace sheetkit {

namespace {

std::string percent(double v) { return percent_text(v); }
std::string fraction(double v) { return fixed_text(v, 6); }

std::string figures_text(const solution_figures& f) {
  return count_of(f.items_placed, "item") + " of " + count_of(f.distinct_types, "type") +
         ", area " + std::to_string(f.placed_area) + ", utilisation " + percent(f.utilisation()) +
         ", gap " + percent(f.gap()) + " to the bound " + std::to_string(f.area_bound);
}

std::string optimum_text(const solution_figures& f) {
  if (!f.known_optimum) return "";
  return ", gap " + percent(f.optimum_gap()) + " to the known optimum " +
         std::to_string(*f.known_optimum);
}

class text_summary : public solution_summary {
 public:
  explicit text_summary(std::ostream& out, bool known) : out_(out), known_(known) {}
  void instance(int64_t number, const std::string& file, const solution_report& r) override {
    for (const std::string& line : r.lines()) out_ << line << '\n';
    out_ << "instance " << number << ": " << file << ": "
         << (r.feasible() ? "feasible" : count_of(r.violation_count, "violation")) << "; "
         << figures_text(r.figures) << optimum_text(r.figures) << '\n';
  }
  void missing(int64_t number, const std::string& why) override {
    out_ << "instance " << number << ": no solution: " << why << '\n';
  }
  void run(const run_solution_figures& f) override {
    out_ << "run: " << count_of(f.instances, "instance") << " checked, " << f.feasible
         << " feasible";
    if (f.missing > 0) out_ << ", " << f.missing << " without a solution";
    out_ << "; " << count_of(f.items_placed, "item") << ", area " << f.placed_area
         << ", utilisation " << percent(f.utilisation()) << ", gap " << percent(f.gap())
         << " to the bound " << f.area_bound;
    if (known_)
      out_ << ", gap " << percent(f.optimum_gap()) << " to the known optima " << f.known_optimum;
    out_ << '\n';
  }

 private:
  std::ostream& out_;
  bool known_;
};

nlohmann::ordered_json figures_json(const solution_figures& f) {
  return {{"items_placed", f.items_placed}, {"distinct_types", f.distinct_types},
          {"placed_area", f.placed_area},   {"profit", f.profit},
          {"usable_area", f.usable_area},   {"area_bound", f.area_bound},
          {"utilisation", f.utilisation()}, {"gap", f.gap()}};
}

class json_summary : public solution_summary {
 public:
  json_summary(std::ostream& out, bool known) : out_(out), known_(known) {
    out_ << "{\"format_version\": " << json_format_version << ", \"instances\": [";
  }
  void instance(int64_t number, const std::string& file, const solution_report& r) override {
    nlohmann::ordered_json j = {{"instance", number},
                                {"file", file},
                                {"feasible", r.feasible()},
                                {"violations", r.violation_count},
                                {"messages", r.lines()}};
    const nlohmann::ordered_json figures = figures_json(r.figures);
    for (const auto& [key, value] : figures.items()) j[key] = value;
    if (r.figures.known_optimum) {
      j["known_optimum"] = *r.figures.known_optimum;
      j["optimum_gap"] = r.figures.optimum_gap();
    }
    put(j);
  }
  void missing(int64_t number, const std::string& why) override {
    put({{"instance", number}, {"missing", why}});
  }
  void run(const run_solution_figures& f) override {
    nlohmann::ordered_json j{{"instances", f.instances},
                             {"feasible", f.feasible},
                             {"missing", f.missing},
                             {"violations", f.violations},
                             {"items_placed", f.items_placed},
                             {"placed_area", f.placed_area},
                             {"profit", f.profit},
                             {"usable_area", f.usable_area},
                             {"area_bound", f.area_bound},
                             {"utilisation", f.utilisation()},
                             {"gap", f.gap()}};
    if (known_) {
      j["known_optimum"] = f.known_optimum;
      j["optimum_gap"] = f.optimum_gap();
    }
    out_ << (first_ ? "],\n" : "\n],\n") << "\"run\": " << json_text(j) << "}\n";
  }

 private:
  void put(const nlohmann::ordered_json& j) {
    out_ << (first_ ? "\n" : ",\n") << json_text(j);
    first_ = false;
  }
  std::ostream& out_;
  bool known_;
  bool first_ = true;
};

class csv_summary : public solution_summary {
 public:
  csv_summary(std::ostream& out, bool known) : out_(out), known_(known) {
    out_ << "instance,file,feasible,violations,items_placed,distinct_types,placed_area,profit,"
            "usable_area,area_bound,utilisation,gap"
         << (known_ ? ",known_optimum,optimum_gap\n" : "\n");
  }
  void instance(int64_t number, const std::string& file, const solution_report& r) override {
    const solution_figures& f = r.figures;
    out_ << number << ',' << csv_field(file) << ',' << (r.feasible() ? 1 : 0) << ','
         << r.violation_count << ',' << f.items_placed << ',' << f.distinct_types << ','
         << f.placed_area << ',' << f.profit << ',' << f.usable_area << ',' << f.area_bound << ','
         << fraction(f.utilisation()) << ',' << fraction(f.gap());
    if (known_) {
      out_ << ',' << (f.known_optimum ? std::to_string(*f.known_optimum) : "") << ','
           << (f.known_optimum ? fraction(f.optimum_gap()) : "");
    }
    out_ << '\n';
  }
  void missing(int64_t number, const std::string& why) override {
    out_ << number << ',' << csv_field(why) << ",0,,,,,,,,," << (known_ ? ",,\n" : "\n");
  }
  void run(const run_solution_figures& f) override {
    out_ << "run,," << (f.feasible == f.instances && f.missing == 0 ? 1 : 0) << ',' << f.violations
         << ',' << f.items_placed << ",," << f.placed_area << ',' << f.profit << ','
         << f.usable_area << ',' << f.area_bound << ',' << fraction(f.utilisation()) << ','
         << fraction(f.gap());
    if (known_) out_ << ',' << f.known_optimum << ',' << fraction(f.optimum_gap());
    out_ << '\n';
  }

 private:
  std::ostream& out_;
  bool known_;
};

}  // namespace

void run_solution_figures::add(const solution_report& r) {
  ++instances;
  feasible += r.feasible() ? 1 : 0;
  violations += r.violation_count;
  items_placed += r.figures.items_placed;
  placed_area += r.figures.placed_area;
  profit += r.figures.profit;
  usable_area += r.figures.usable_area;
  area_bound += r.figures.area_bound;
  if (r.figures.known_optimum) {
    known_optimum += *r.figures.known_optimum;
    optimum_profit += r.figures.profit;
  }
}

double run_solution_figures::optimum_gap() const { return gap_of(known_optimum, optimum_profit); }

double run_solution_figures::utilisation() const {
  return utilisation_of(placed_area, usable_area);
}

double run_solution_figures::gap() const { return gap_of(area_bound, placed_area); }

std::unique_ptr<solution_summary> make_solution_summary(std::ostream& out,
                                                        const std::string& format,
                                                        bool known_optima) {
  if (format == "json") return std::make_unique<json_summary>(out, known_optima);
  if (format == "csv") return std::make_unique<csv_summary>(out, known_optima);
  return std::make_unique<text_summary>(out, known_optima);
}

}  // namespace sheetkit

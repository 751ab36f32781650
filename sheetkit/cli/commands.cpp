#include "cli/commands.h"

#include "cli/builtins.h"

namespace sheetkit {

namespace {

constexpr const char* suite_footer =
    "make writes DIR/suite.json, a copy of the JSON file, each set to DIR/CLASS/sSEED/\n"
    "(answers.txt, instances.txt, defects.txt; a class that names a family: recipe.txt,\n"
    "instances.txt, defects.txt, values.txt, and a class CLASS.dK per count K of its \"layers\"),\n"
    "then DIR/SHA256SUMS, DIR/index.html, the page that report writes, and last\n"
    "DIR/manifest.tsv: where it stands, the suite is complete.\n"
    "Making again keeps the complete sets and does the rest; one make at a time in DIR.\n"
    "--shard K/N takes the pieces of the suite's order (classes as the file lists them,\n"
    "seeds in order) at the 1-based positions p with (p - 1) mod N = K - 1;\n"
    "a piece is one set, or a whole class with \"complete\": true, whose seeds depend on\n"
    "which runs abort. A shard writes no manifest: a last make without --shard does,\n"
    "once every shard is done. verify --shard K/N checks the same sets and their lines\n"
    "in the manifest and SHA256SUMS; shard 1 also looks for what belongs to no set.\n"
    "report reads a made suite; its page gives the manifest's SHA-256 to cite, the\n"
    "commands that verify the suite, the table of stats --suite and each class's pictures.\n"
    "export writes every completed set for a solver into OUT/CLASS/sSEED/, beside the suite;\n"
    "solvers write NAME.csv (their certificate) and NAME.json (their output) into each\n"
    "instance folder; results checks every certificate against the suite and gives the\n"
    "table per class and solver (status 1 when any solution is infeasible or missing).";

const command suite_commands[] = {
    {"make", "Make every set of a suite's JSON file, the manifest last",
     "Writes DIR/suite.json, a copy of the JSON file, each set to DIR/CLASS/sSEED/\n"
     "(answers.txt, instances.txt, defects.txt), then DIR/SHA256SUMS, DIR/index.html and\n"
     "last DIR/manifest.tsv: where it stands, the suite is complete. Making again keeps the\n"
     "complete sets and does the rest; one make at a time in DIR. --shard K/N takes the\n"
     "pieces of the suite's order at the 1-based positions p with (p - 1) mod N = K - 1;\n"
     "a shard writes no manifest: a last make without --shard does, once every shard is done.",
     setup_suite_make},
    {"verify", "Generate every set again and compare; check the manifest",
     "Generates every set again and compares it byte for byte, then holds the manifest and\n"
     "SHA256SUMS to the sets. --shard K/N checks the same sets as make --shard K/N and their\n"
     "lines; shard 1 also looks for what belongs to no set.",
     setup_suite_verify},
    {"report", "Write the suite's page: what to cite, how to verify, its classes",
     "Reads a made suite; its page gives the manifest's SHA-256 to cite, the commands that\n"
     "verify the suite, the table of stats --suite and each class's pictures.",
     setup_suite_report},
    {"export", "Export every set for a solver, into a folder beside the suite",
     "Writes every completed set for a solver into OUT/CLASS/sSEED/; solvers write NAME.csv\n"
     "(their certificate) and NAME.json (their output) into each instance folder.",
     setup_suite_export},
    {"results", "Check every solver's certificates in an export; the table per class and solver",
     "Checks every certificate in OUT against the suite and gives the table per class and\n"
     "solver (status 1 when any solution is infeasible or missing).",
     setup_suite_results},
};

const command solution_commands[] = {
    {"check", "Check solutions against the run: each violation by line, then the figures",
     "Status 0 when every instance's solution is feasible, 1 when any is not or has none.",
     setup_solution_check},
    {"draw", "Draw each chosen instance's solution: items, defects, cuts, violations", "",
     setup_solution_draw},
};

const command table[] = {
    {"check", "Check both files strictly: each problem as FILE:LINE: message",
     "Always checked: the form of every line, area = length x width, every defect inside\n"
     "the object, the same number of blocks in both files, a file cut short. With\n"
     "--answers also: the area bounds, the numbers of instances, item types and defects,\n"
     "and every defect's size; without, every block against the first: as many item\n"
     "types and defects, each defect of the same size. At most 20 problems are listed,\n"
     "then their number. Item types longer or wider than the object are noted after\n"
     "them (sheetgen may write such); notes are not problems.",
     setup_check},
    {"stats", "Figures on item areas and shapes and on the defects; tables for papers",
     "--suite DIR gives the paper table: one row per class, over its completed sets; for a\n"
     "single run, --format csv or latex gives its one row in the same columns. Quantiles\n"
     "are values of the item types, at 0-based rank floor(p (n - 1)): the median is the\n"
     "lower middle one.",
     setup_stats},
    {"draw", "SVG pictures of instances, of all defects, of item shapes", "", setup_draw},
    {"export", "The run as PackingSolver CSV files, one JSON document, or JSON lines",
     "json: one document; jsonl: a first line for the run (object, answers), then one line\n"
     "per instance, for readers that take one line at a time.",
     setup_export},
    {"generate", "Write a run of an instance family and the recipe that makes it again",
     generate_footer, setup_generate},
    {"verify", "Generate the run again and compare it with the files",
     "Compares byte for byte as it generates, in constant memory, and shows the first\n"
     "line that differs in each file. Answers whose run ends in the repair failure are\n"
     "held to what sheetgen leaves then: the blocks before it, and no defect file.",
     setup_verify},
    {"suite", "Make a benchmark suite of many runs from one JSON file, verify one, or publish one",
     suite_footer, nullptr, suite_commands},
    {"solution", "Check, score and draw a solver's solutions of the run's instances",
     solution_footer, nullptr, solution_commands},
    {"version", "Print the version (the same as --version)", nullptr, setup_version},
};

}  // namespace

std::span<const command> commands() { return table; }

}  // namespace sheetkit

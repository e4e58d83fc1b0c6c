// What a build ships and why, printed at the end of every build and as the
// whole output of a dry run: each shipped file with its reason and size, the
// files left out as unchanged, and the total.
#pragma once
#include <string>
#include <vector>
#include "publish/release_base.h"

struct BuildSummary {
    const std::vector<BuilderFile>* files;   // every source file
    const ShipPlan* plan;                    // one entry per source file
    const std::vector<ReleaseBase>* bases;
    bool dry_run;
    std::string out;                         // the output file as given (UTF-8)
};

// Text to stdout: "ships N of M files (size)", one line per shipped file
// ("new" or "changed", path, size), then how many were left out.
void print_build_summary(const BuildSummary& summary);
// The same as one JSON object: dry_run, out, bases [{path, kind, files}],
// files [{path, path_hex, size, reason}], unchanged [{path, path_hex}],
// count, total_size, warnings.
void print_build_summary_json(const BuildSummary& summary);

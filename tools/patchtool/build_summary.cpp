#include "build_summary.h"

#include <cstdio>

#include "cli_text.h"
#include "json_output.h"
#include "size_text.h"

void print_build_summary(const BuildSummary& s)
{
    const std::vector<BuilderFile>& files = *s.files;
    const ShipPlan& plan = *s.plan;
    std::printf("ships %zu of %zu files (%s)", plan.shipped_count, files.size(),
                size_text(plan.shipped_bytes).c_str());
    if (!s.bases->empty())
        std::printf(" against %zu base%s", s.bases->size(), s.bases->size() == 1 ? "" : "s");
    std::printf(":\n");
    for (size_t i = 0; i < files.size(); ++i) {
        const PlannedFile& f = plan.files[i];
        if (f.reason != SHIP_UNCHANGED)
            std::printf("  %-8s %s  %s\n", ship_reason_text(f.reason), printable(files[i].path).c_str(),
                        size_text(f.size).c_str());
    }
    const size_t unchanged = files.size() - plan.shipped_count;
    if (unchanged)
        std::printf("left out %zu unchanged file%s\n", unchanged, unchanged == 1 ? "" : "s");
}

void print_build_summary_json(const BuildSummary& s)
{
    const std::vector<BuilderFile>& files = *s.files;
    const ShipPlan& plan = *s.plan;
    JsonOut out;
    out["dry_run"] = s.dry_run;
    out["out"] = s.out;
    out["bases"] = JsonOut::array();
    for (const ReleaseBase& b : *s.bases)
        out["bases"].push_back({{"path", cp932_to_utf8(b.shown)}, {"kind", b.is_folder ? "folder" : "hash list"},
                                {"files", b.files.size()}});
    out["files"] = JsonOut::array();
    out["unchanged"] = JsonOut::array();
    for (size_t i = 0; i < files.size(); ++i) {
        JsonOut file;
        put_text(&file, "path", files[i].path);
        if (plan.files[i].reason == SHIP_UNCHANGED) {
            out["unchanged"].push_back(file);
            continue;
        }
        file["size"] = plan.files[i].size;
        file["reason"] = ship_reason_text(plan.files[i].reason);
        out["files"].push_back(file);
    }
    out["count"] = plan.shipped_count;
    out["total_size"] = plan.shipped_bytes;
    out["warnings"] = JsonOut::array();
    for (const std::string& w : plan.warnings)
        out["warnings"].push_back(cp932_to_utf8(w));
    print_json(out);
}

// A ProgressView for tests: records every call in order and plays the user at
// a chosen moment (confirm cancelling, close the dialog, or make the pump
// answer stop, as WM_QUIT does).
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "update/progress.h"

struct ProgressCall {
    enum Kind { STATUS, FILE_RANGE, FILE_POSITION, TOTAL_RANGE, TOTAL_POSITION, PUMP } kind;
    uint32_t value;     // range, position, or the pump's 1-based number
    std::string text;   // status text (code page 932)
};

// When an action fires: at the n-th pump call overall, or at the pump that
// follows the n-th copied chunk (both 1-based; 0 = never).
struct ProgressTrigger {
    uint32_t pump = 0;
    uint32_t chunk = 0;
};

class ScriptedProgress : public ProgressView {
public:
    ProgressTrigger cancel;   // sets cancel_requested, as a confirmed cancel does
    ProgressTrigger close;    // sets window_closed, as WM_CLOSE does
    ProgressTrigger stop;     // the pump returns 1, as on WM_QUIT

    void set_status(const char* text) override;
    void set_file_range(uint32_t max) override;
    void set_file_position(uint32_t position) override;
    void set_total_range(uint32_t max) override;
    void set_total_position(uint32_t position) override;
    int pump() override;

    const std::vector<ProgressCall>& calls() const { return calls_; }
    std::vector<uint32_t> values(ProgressCall::Kind kind) const;
    std::vector<std::string> statuses() const;
    uint32_t pumps() const { return pumps_; }
    uint32_t chunks() const { return chunks_; }

private:
    bool fires(const ProgressTrigger& t, bool after_chunk) const;
    std::vector<ProgressCall> calls_;
    uint32_t pumps_ = 0;
    uint32_t chunks_ = 0;
};

// Both process-wide stop flags back to 0 (between tests only; the updater
// itself never clears them).
void reset_stop_flags();

#include "support/scripted_progress.h"

#include "update/stop_flags.h"

void ScriptedProgress::set_status(const char* text)
{
    calls_.push_back({ProgressCall::STATUS, 0, text});
}

void ScriptedProgress::set_file_range(uint32_t max)
{
    calls_.push_back({ProgressCall::FILE_RANGE, max, ""});
}

void ScriptedProgress::set_file_position(uint32_t position)
{
    calls_.push_back({ProgressCall::FILE_POSITION, position, ""});
}

void ScriptedProgress::set_total_range(uint32_t max)
{
    calls_.push_back({ProgressCall::TOTAL_RANGE, max, ""});
}

void ScriptedProgress::set_total_position(uint32_t position)
{
    calls_.push_back({ProgressCall::TOTAL_POSITION, position, ""});
}

bool ScriptedProgress::fires(const ProgressTrigger& t, bool after_chunk) const
{
    return (t.pump != 0 && t.pump == pumps_) || (after_chunk && t.chunk != 0 && t.chunk == chunks_);
}

int ScriptedProgress::pump()
{
    // A chunk's pump follows its file position; an entry's first pump follows
    // the status text and position 0.
    size_t n = calls_.size();
    bool after_chunk = n >= 2 && calls_[n - 1].kind == ProgressCall::FILE_POSITION &&
                       calls_[n - 2].kind != ProgressCall::STATUS &&
                       calls_[n - 2].kind != ProgressCall::TOTAL_POSITION;
    ++pumps_;
    if (after_chunk)
        ++chunks_;
    calls_.push_back({ProgressCall::PUMP, pumps_, ""});
    if (fires(cancel, after_chunk))
        cancel_requested = 1;
    if (fires(close, after_chunk))
        window_closed = 1;
    return fires(stop, after_chunk) ? 1 : 0;
}

std::vector<uint32_t> ScriptedProgress::values(ProgressCall::Kind kind) const
{
    std::vector<uint32_t> out;
    for (const ProgressCall& c : calls_) {
        if (c.kind == kind)
            out.push_back(c.value);
    }
    return out;
}

std::vector<std::string> ScriptedProgress::statuses() const
{
    std::vector<std::string> out;
    for (const ProgressCall& c : calls_) {
        if (c.kind == ProgressCall::STATUS)
            out.push_back(c.text);
    }
    return out;
}

void reset_stop_flags()
{
    cancel_requested = 0;
    window_closed = 0;
}

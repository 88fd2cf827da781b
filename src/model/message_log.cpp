#include "model/message_log.h"

#include <cstdio>

#include "model/elem.h"

namespace svg {
namespace {

std::string Format(const char* format, va_list args)
{
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length < 0)
        return {};
    std::string line(static_cast<std::size_t>(length), '\0');
    std::vsnprintf(line.data(), line.size() + 1, format, args);
    return line;
}

}  // namespace

void CMessageLog::Add(std::string line)
{
    if (line.empty() || line[0] == 'D')
        return;
    std::lock_guard lock(mutex_);
    switch (line[0]) {
    case 'F': ++counts_.fatal; break;
    case 'E': ++counts_.errors; break;
    case 'W': ++counts_.warnings; break;
    default: break;
    }
    logText_ += line;
    // Parser reason texts already end with a line break; they get no second one.
    if (logText_.empty() || logText_.back() != '\n')
        logText_ += "\r\n";
    if (listener_)
        listener_(line);
    messages_.push_back(std::move(line));
}

void CMessageLog::SetListener(Listener listener)
{
    std::lock_guard lock(mutex_);
    listener_ = std::move(listener);
}

void CMessageLog::Reset()
{
    std::lock_guard lock(mutex_);
    messages_.clear();
    logText_.clear();
    counts_ = {};
}

std::size_t CMessageLog::Count() const
{
    std::lock_guard lock(mutex_);
    return messages_.size();
}

std::vector<std::string> CMessageLog::EntriesFrom(std::size_t first) const
{
    std::lock_guard lock(mutex_);
    if (first >= messages_.size())
        return {};
    return {messages_.begin() + static_cast<std::ptrdiff_t>(first), messages_.end()};
}

std::string CMessageLog::Entry(std::size_t index) const
{
    std::lock_guard lock(mutex_);
    return index < messages_.size() ? messages_[index] : std::string();
}

MessageCounts CMessageLog::Counts() const
{
    std::lock_guard lock(mutex_);
    return counts_;
}

std::string CMessageLog::LogText() const
{
    std::lock_guard lock(mutex_);
    return logText_;
}

std::string CMessageLog::Summary() const
{
    const MessageCounts counts = Counts();
    if (counts.fatal == 0 && counts.errors == 0 && counts.warnings == 0)
        return "No Errors";
    std::string summary;
    char part[64];
    if (counts.fatal > 0) {
        std::snprintf(part, sizeof part, "%d Fatal Errors.  ", counts.fatal);
        summary += part;
    }
    if (counts.errors > 0) {
        std::snprintf(part, sizeof part, "%d Errors.  ", counts.errors);
        summary += part;
    }
    if (counts.warnings > 0) {
        std::snprintf(part, sizeof part, "%d Warnings.  ", counts.warnings);
        summary += part;
    }
    return summary;
}

void CMessageLog::ReportV(const CElem* elem, const char* format, va_list args)
{
    if (format == nullptr || format[0] == 'D')
        return;
    std::string line = Format(format, args);
    if (elem != nullptr)
        line += " at " + std::to_string(elem->line) + '(' + std::to_string(elem->column) + ')';
    Add(std::move(line));
}

void CMessageLog::Report(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    ReportV(nullptr, format, args);
    va_end(args);
}

void CMessageLog::ReportAt(int line, int column, const char* format, ...)
{
    if (format == nullptr || format[0] == 'D')
        return;
    va_list args;
    va_start(args, format);
    std::string text = Format(format, args);
    va_end(args);
    Add(std::move(text) + " at " + std::to_string(line) + '(' + std::to_string(column) + ')');
}

void CMessageLog::Report(const CElem& elem, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    ReportV(&elem, format, args);
    va_end(args);
}

}  // namespace svg
